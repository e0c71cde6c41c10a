#include "ToolFixture.h"

#include "BuildProgress.h"
#include "PackageAssembler.h"

#include <Errors.h>

#include <fcntl.h>
#include <pty.h>

namespace {

// Everything that can be read from `fd` now, without waiting.
std::string
Drain(int fd)
{
	fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
	std::string text;
	char buffer[4096];
	ssize_t count;
	while ((count = read(fd, buffer, sizeof(buffer))) > 0)
		text.append(buffer, count);
	return text;
}


// Builds a package of `files` small files with `progress` told.
void
BuildWith(const ScratchDir& dir, int files, BuildProgress* progress, PackageAssembler* builder)
{
	for (int i = 0; i < files; i++)
		write_text(dir / ("src/file" + std::to_string(i)), std::string(1000 + i, 'x'));
	write_text(dir / "pkg.json", R"({"name": "Progress", "source": "src"})");
	builder->SetProgress(progress);
	ASSERT_EQ(builder->BuildFromFile((dir / "pkg.json").c_str(), nullptr,
		(dir / "out.pkg").c_str()), B_OK) << builder->ErrorMessage();
}

} // namespace


TEST(BuildProgressTest, LinesSayDoneTotalRateAndTimeLeft)
{
	const int64 mebibyte = 1024 * 1024;
	EXPECT_EQ(BuildProgress::ProgressLine(3, 10, mebibyte, 4 * mebibyte, 2.0),
		"3/10 files, 1.0 MiB of 4.0 MiB (25%), 512.0 KiB/s, 6.0 s left");
	// Too early for a rate, and no time left once all is done.
	EXPECT_EQ(BuildProgress::ProgressLine(1, 10, 2048, 4096, 0.1),
		"1/10 files, 2.0 KiB of 4.0 KiB (50%)");
	EXPECT_EQ(BuildProgress::ProgressLine(2, 2, 4096, 4096, 2.0),
		"2/2 files, 4.0 KiB of 4.0 KiB (100%), 2.0 KiB/s");
	// Empty files only: no percentage of nothing.
	EXPECT_EQ(BuildProgress::ProgressLine(0, 3, 0, 0, 1.0), "0/3 files, 0 B of 0 B");

	EXPECT_EQ(BuildProgress::SummaryLine("x.pkg", 11, 4000, 1000, 0.31),
		"x.pkg: 11 items, 3.9 KiB in, 1000 B out (25.0% of the input), 0.3 s");
	EXPECT_EQ(BuildProgress::SummaryLine("e.pkg", 1, 0, 300, 12.0),
		"e.pkg: 1 item, 0 B in, 300 B out, 12 s");
}


TEST(BuildProgressTest, SizesAndDurationsInReadableUnits)
{
	EXPECT_EQ(BuildProgress::SizeText(0), "0 B");
	EXPECT_EQ(BuildProgress::SizeText(1023), "1023 B");
	EXPECT_EQ(BuildProgress::SizeText(1024), "1.0 KiB");
	EXPECT_EQ(BuildProgress::SizeText(1536 * 1024), "1.5 MiB");
	EXPECT_EQ(BuildProgress::SizeText(3LL << 40), "3.0 TiB");
	EXPECT_EQ(BuildProgress::SizeText(2048LL << 40), "2048.0 TiB") << "no unit past TiB";

	EXPECT_EQ(BuildProgress::DurationText(0.04), "0.0 s");
	EXPECT_EQ(BuildProgress::DurationText(9.94), "9.9 s");
	EXPECT_EQ(BuildProgress::DurationText(59.4), "59 s");
	EXPECT_EQ(BuildProgress::DurationText(75), "1 min 15 s");
	EXPECT_EQ(BuildProgress::DurationText(3725), "1 h 02 min");
}


// On a terminal the progress line is drawn and taken away at the end;
// elsewhere, or when not wanted, nothing at all is written.
TEST(BuildProgressTest, DrawnOnATerminalOnly)
{
	int master, terminal;
	if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0)
		GTEST_SKIP() << "no pseudo-terminal here";
	{
		ScratchDir dir;
		BuildProgress progress(terminal);
		EXPECT_TRUE(progress.IsShown());
		PackageAssembler builder;
		BuildWith(dir, 5, &progress, &builder);
		progress.Finish();
		std::string shown = Drain(master);
		// Start and the last file are always drawn.
		EXPECT_NE(shown.find("\r0/5 files, 0 B of "), std::string::npos) << shown;
		EXPECT_NE(shown.find("\r5/5 files, " + BuildProgress::SizeText(5010) + " of "
			+ BuildProgress::SizeText(5010) + " (100%)"), std::string::npos) << shown;
		EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K") << "the line stays behind";
		EXPECT_EQ(builder.InputBytes(), 5010);
	}
	{
		ScratchDir dir;
		BuildProgress progress(terminal, false);
		EXPECT_FALSE(progress.IsShown());
		PackageAssembler builder;
		BuildWith(dir, 2, &progress, &builder);
		progress.Finish();
		EXPECT_EQ(Drain(master), "");
	}
	close(master);
	close(terminal);

	int pipeEnds[2];
	ASSERT_EQ(pipe(pipeEnds), 0);
	{
		ScratchDir dir;
		BuildProgress progress(pipeEnds[1]);
		EXPECT_FALSE(progress.IsShown());
		PackageAssembler builder;
		BuildWith(dir, 2, &progress, &builder);
		progress.Finish();
	}
	EXPECT_EQ(Drain(pipeEnds[0]), "");
	close(pipeEnds[0]);
	close(pipeEnds[1]);
}
