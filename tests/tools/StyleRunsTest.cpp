#include "StyleRuns.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(StyleRunsTest, FlattenedBytesAreBigEndianAndPadded)
{
	StyleRuns runs;
	style_run first;
	first.offset = 0x0102;
	first.family = "Sans";
	first.style = "Bold";
	first.size = 12.0f;		// 0x41400000
	first.shear = 90.0f;	// 0x42B40000
	first.face = 0x0020;
	first.color[0] = 0x11;
	first.color[1] = 0x22;
	first.color[2] = 0x33;
	first.color[3] = 0xFF;
	runs.AddRun(first);
	style_run second;
	second.offset = 7;
	second.family = std::string(70, 'f');	// cut to 63 bytes and a zero
	runs.AddRun(second);

	std::string flat = runs.Flatten();
	ASSERT_EQ(flat.size(), 12u + 2 * 148u);
	const uint8* bytes = (const uint8*)flat.data();
	const uint8 header[12] = {'A', 'l', 'i', '!', 0, 0, 0, 0, 0, 0, 0, 2};
	EXPECT_EQ(memcmp(bytes, header, 12), 0);

	const uint8* run = bytes + 12;
	const uint8 offset[4] = {0, 0, 1, 2};
	EXPECT_EQ(memcmp(run, offset, 4), 0);
	EXPECT_EQ(memcmp(run + 4, "Sans\0\0", 6), 0);
	for (int i = 4; i < 64; i++)
		EXPECT_EQ(run[4 + i], 0) << "family padding at " << i;
	EXPECT_EQ(memcmp(run + 68, "Bold\0", 5), 0);
	const uint8 tail[16] = {0x41, 0x40, 0, 0, 0x42, 0xB4, 0, 0, 0x00, 0x20,
		0x11, 0x22, 0x33, 0xFF, 0, 0};
	EXPECT_EQ(memcmp(run + 132, tail, 16), 0);

	const uint8* next = run + 148;
	EXPECT_EQ(next[3], 7);
	EXPECT_EQ(memcmp(next + 4, std::string(63, 'f').data(), 63), 0);
	EXPECT_EQ(next[4 + 63], 0);
	// Defaults: black, opaque.
	const uint8 black[4] = {0, 0, 0, 0xFF};
	EXPECT_EQ(memcmp(next + 142, black, 4), 0);

	StyleRuns back;
	ASSERT_EQ(back.Unflatten(flat.data(), flat.size()), B_OK);
	ASSERT_EQ(back.CountRuns(), 2);
	EXPECT_EQ(back.RunAt(0).family, "Sans");
	EXPECT_EQ(back.RunAt(0).shear, 90.0f);
	EXPECT_EQ(back.RunAt(0).face, 0x20);
	EXPECT_EQ(back.RunAt(1).family, std::string(63, 'f'));

	EXPECT_EQ(back.Unflatten(flat.data(), flat.size() - 1), B_BAD_DATA);
	std::string badCount = flat;
	badCount[11] = 3;
	EXPECT_EQ(back.Unflatten(badCount.data(), badCount.size()), B_BAD_DATA);
}
