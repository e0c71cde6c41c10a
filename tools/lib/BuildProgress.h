#ifndef _BUILD_PROGRESS_H
#define _BUILD_PROGRESS_H

// What a build has done, shown on one line of a terminal while it runs: the
// files and bytes written into the package so far, the rate and the time
// left. Nothing is shown when the output is not a terminal (a log or a pipe
// would fill with redrawn lines). The summary line says what the finished
// build holds and how long it took.

#include <SupportDefs.h>

#include <chrono>
#include <string>

class BuildProgress {
public:
	// Draws on `fd`, when `show` is set and `fd` is a terminal.
	explicit BuildProgress(int fd, bool show = true);
	~BuildProgress();

	bool IsShown() const { return fShown; }

	// The work of the build: the files to compress and their bytes.
	void Start(int32 files, int64 bytes);
	// One file (its original bytes) is in the package.
	void FileDone(int64 bytes);
	// Takes the line away: what follows starts on a clean line.
	void Finish();

	double ElapsedSeconds() const;

	static std::string ProgressLine(int32 filesDone, int32 files, int64 bytesDone,
		int64 bytes, double seconds);
	static std::string SummaryLine(const char* output, int32 items, int64 bytesIn,
		int64 bytesOut, double seconds);
	// "512 B", "1.5 KiB", "12.0 MiB" ...
	static std::string SizeText(int64 bytes);
	// "0.4 s", "12 s", "3 min 04 s", "1 h 02 min".
	static std::string DurationText(double seconds);

private:
	void _Draw(bool always);
	void _Write(const std::string& text);

	typedef std::chrono::steady_clock clock;

	int fFD;
	bool fShown;
	bool fDrawn;
	int32 fFiles;
	int64 fBytes;
	int32 fFilesDone;
	int64 fBytesDone;
	clock::time_point fStart;
	clock::time_point fLastDraw;
};

#endif // _BUILD_PROGRESS_H
