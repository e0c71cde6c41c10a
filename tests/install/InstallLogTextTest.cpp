// The install log's text pieces, byte for byte.

#include "InstallLogText.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(InstallLogTextTest, HeaderAndFooter)
{
	setenv("TZ", "UTC", 1);
	tzset();
	// 2001-09-09 01:46:40 UTC.
	const time_t when = 1000000000;
	EXPECT_EQ(log_header_text("Tool", when),
		"Installation: Tool\nStarted: Sun Sep  9 01:46:40 2001\n\n\n");
	EXPECT_EQ(log_footer_text(false, when),
		"\n\nCompleted: Sun Sep  9 01:46:40 2001\n\n");
	EXPECT_EQ(log_footer_text(true, when),
		"\n\nCanceled: Sun Sep  9 01:46:40 2001\n\n");
	EXPECT_EQ(log_header_text(nullptr, when).rfind("Installation: \nStarted: ", 0), 0u);
}


TEST(InstallLogTextTest, ItemBlocks)
{
	EXPECT_EQ(log_folder_text("apps"), "apps/\n\tType: Folder\n");
	EXPECT_EQ(log_file_text("Tool", 6000000000LL, "application/x-vnd.Maker-Tool"),
		"Tool\n\tSize: 6000000000 bytes\t\tType: application/x-vnd.Maker-Tool\n");
	EXPECT_EQ(log_file_text("Tool", 0, ""), "Tool\n\tSize: 0 bytes\t\tType: N/A\n");
	EXPECT_EQ(log_file_text("Tool", 1, nullptr), "Tool\n\tSize: 1 bytes\t\tType: N/A\n");
	EXPECT_EQ(log_link_text("lib", "../lib/libx.so"), "lib\n\tSymblic link to ../lib/libx.so\n");
	EXPECT_EQ(log_patch_text("Tool", 12, "text/plain"),
		"Tool\n\tSize: 12 bytes\t\tType: text/plain\n\tPatched from original: ");
	EXPECT_EQ(log_patch_text("Tool", 12, nullptr),
		"Tool\n\tSize: 12 bytes\n\tPatched from original: ");
	EXPECT_EQ(log_script_text("setup.sh"), "Executing shell script setup.sh\n");
}
