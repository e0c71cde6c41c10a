// The items' name check and their 64-bit byte counts in messages.

#include "ItemHelpers.h"

#include <Message.h>

#include <gtest/gtest.h>

#include <string>

TEST(ItemHelpersTest, OnlyPlainNamesPass)
{
	EXPECT_TRUE(is_plain_entry_name("Tool"));
	EXPECT_TRUE(is_plain_entry_name("..."));
	EXPECT_TRUE(is_plain_entry_name(".hidden"));
	EXPECT_TRUE(is_plain_entry_name(std::string(255, 'n').c_str()));

	EXPECT_FALSE(is_plain_entry_name(nullptr));
	EXPECT_FALSE(is_plain_entry_name(""));
	EXPECT_FALSE(is_plain_entry_name("."));
	EXPECT_FALSE(is_plain_entry_name(".."));
	EXPECT_FALSE(is_plain_entry_name("a/b"));
	EXPECT_FALSE(is_plain_entry_name("/"));
	EXPECT_FALSE(is_plain_entry_name("../up"));
	EXPECT_FALSE(is_plain_entry_name(std::string(256, 'n').c_str()));
}


TEST(ItemHelpersTest, ByteCountsKeepTheirShortFormWhenTheyFit)
{
	BMessage message('Uprg');
	add_byte_count(&message, "small", 2048);
	add_byte_count(&message, "large", 5000000000LL);
	add_byte_count(&message, "edge", 2147483647LL);

	int32 narrow = 0;
	EXPECT_EQ(message.FindInt32("small", &narrow), B_OK);
	EXPECT_EQ(narrow, 2048);
	EXPECT_EQ(message.FindInt32("edge", &narrow), B_OK);
	int64 wide = 0;
	EXPECT_EQ(message.FindInt64("large", &wide), B_OK);
	EXPECT_EQ(wide, 5000000000LL);

	// Read back either way; a missing count is 0.
	EXPECT_EQ(find_byte_count(&message, "small"), 2048);
	EXPECT_EQ(find_byte_count(&message, "large"), 5000000000LL);
	EXPECT_EQ(find_byte_count(&message, "edge"), 2147483647LL);
	EXPECT_EQ(find_byte_count(&message, "missing"), 0);
}
