#ifndef _TESTS_INSTALLED_TOOL_FIXTURE_H
#define _TESTS_INSTALLED_TOOL_FIXTURE_H

// A package "Tool" as a completed run leaves it on the boot volume of a
// temporary root, with its receipt recorded from the disk:
//
//   /boot/apps/Tool/               folder
//   /boot/apps/Tool/docs/          folder
//   /boot/apps/Tool/docs/guide     file, 0644
//   /boot/apps/Tool/tool           file, 0755
//   /boot/apps/Tool/readme         file, 0644
//   /boot/apps/Tool/current        link to "tool"
//
// Tests add items to fReceipt (and make what was there before), then write
// it with WriteReceipt when the code under test reads it from disk.

#include "ReceiptBuilder.h"
#include "TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class InstalledToolTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		WriteFile("boot/apps/Tool/docs/guide", "a guide\n", 0644);
		WriteFile("boot/apps/Tool/tool", "#!/bin/sh\necho tool\n", 0755);
		WriteFile("boot/apps/Tool/readme", "read me\n", 0644);
		std::filesystem::create_symlink("tool", fRoot.HostPath("boot/apps/Tool/current"));
		for (const char* path : { "/boot/apps/Tool", "/boot/apps/Tool/docs",
				"/boot/apps/Tool/docs/guide", "/boot/apps/Tool/tool",
				"/boot/apps/Tool/readme", "/boot/apps/Tool/current" })
			fReceipt.Add(path);
	}

	void WriteFile(const std::string& relative, const std::string& contents,
		int mode = 0644)
	{
		fRoot.WriteFile(relative, contents);
		std::filesystem::permissions(fRoot.HostPath(relative),
			(std::filesystem::perms)mode);
	}

	bool Exists(const std::string& relative) const
	{
		std::error_code error;
		return std::filesystem::exists(std::filesystem::symlink_status(
			fRoot.HostPath(relative), error));
	}

	void WriteReceipt() { ASSERT_EQ(fReceipt.Write(), B_OK); }

	ReceiptBuilder fReceipt{"Tool", "boot"};
};

#endif // _TESTS_INSTALLED_TOOL_FIXTURE_H
