#include "BuildProgress.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Redrawing more often only costs time.
const std::chrono::milliseconds kDrawInterval(100);


std::string
Format(const char* format, double value)
{
	char buffer[64];
	snprintf(buffer, sizeof(buffer), format, value);
	return buffer;
}

} // namespace


BuildProgress::BuildProgress(int fd, bool show)
	:
	fFD(fd),
	fShown(show && isatty(fd) == 1),
	fDrawn(false),
	fFiles(0),
	fBytes(0),
	fFilesDone(0),
	fBytesDone(0),
	fStart(clock::now()),
	fLastDraw(fStart)
{
}


BuildProgress::~BuildProgress()
{
	Finish();
}


void
BuildProgress::Start(int32 files, int64 bytes)
{
	fFiles = files;
	fBytes = bytes;
	fFilesDone = 0;
	fBytesDone = 0;
	_Draw(true);
}


void
BuildProgress::FileDone(int64 bytes)
{
	fFilesDone++;
	fBytesDone += bytes;
	_Draw(fFilesDone == fFiles);
}


void
BuildProgress::Finish()
{
	if (fDrawn)
		_Write("\r\033[K");
	fDrawn = false;
}


double
BuildProgress::ElapsedSeconds() const
{
	return std::chrono::duration<double>(clock::now() - fStart).count();
}


void
BuildProgress::_Draw(bool always)
{
	if (!fShown)
		return;
	clock::time_point now = clock::now();
	if (!always && now - fLastDraw < kDrawInterval)
		return;
	fLastDraw = now;
	_Write("\r" + ProgressLine(fFilesDone, fFiles, fBytesDone, fBytes, ElapsedSeconds())
		+ "\033[K");
	fDrawn = true;
}


void
BuildProgress::_Write(const std::string& text)
{
	// A terminal that went away only loses the progress line.
	ssize_t written = write(fFD, text.data(), text.size());
	(void)written;
}


std::string
BuildProgress::ProgressLine(int32 filesDone, int32 files, int64 bytesDone, int64 bytes,
	double seconds)
{
	std::string line = std::to_string(filesDone) + "/" + std::to_string(files) + " files, "
		+ SizeText(bytesDone) + " of " + SizeText(bytes);
	if (bytes > 0)
		line += Format(" (%.0f%%)", 100.0 * bytesDone / bytes);
	// Too early a rate says nothing about the rest.
	if (seconds < 0.5 || bytesDone <= 0)
		return line;
	double rate = bytesDone / seconds;
	line += ", " + SizeText((int64)rate) + "/s";
	if (bytesDone < bytes)
		line += ", " + DurationText((bytes - bytesDone) / rate) + " left";
	return line;
}


std::string
BuildProgress::SummaryLine(const char* output, int32 items, int64 bytesIn, int64 bytesOut,
	double seconds)
{
	std::string line = std::string(output) + ": " + std::to_string(items)
		+ (items == 1 ? " item, " : " items, ") + SizeText(bytesIn) + " in, "
		+ SizeText(bytesOut) + " out";
	if (bytesIn > 0)
		line += Format(" (%.1f%% of the input)", 100.0 * bytesOut / bytesIn);
	return line + ", " + DurationText(seconds);
}


std::string
BuildProgress::SizeText(int64 bytes)
{
	static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
	if (bytes < 1024)
		return std::to_string(bytes) + " B";
	double value = bytes / 1024.0;
	int unit = 0;
	while (value >= 1024 && unit < 3) {
		value /= 1024;
		unit++;
	}
	return Format("%.1f ", value) + kUnits[unit];
}


std::string
BuildProgress::DurationText(double seconds)
{
	if (seconds < 10)
		return Format("%.1f s", seconds);
	long whole = (long)(seconds + 0.5);
	char buffer[64];
	if (whole < 60)
		snprintf(buffer, sizeof(buffer), "%ld s", whole);
	else if (whole < 3600)
		snprintf(buffer, sizeof(buffer), "%ld min %02ld s", whole / 60, whole % 60);
	else
		snprintf(buffer, sizeof(buffer), "%ld h %02ld min", whole / 3600, whole / 60 % 60);
	return buffer;
}
