#ifndef _TESTS_PACKAGE_FIXTURE_H
#define _TESTS_PACKAGE_FIXTURE_H

// A temporary system root with helpers to write package files into it and
// open them, capturing the alerts (they go to standard error).

#include "PackageBytes.h"
#include "TempRoot.h"

#include "InstallPack.h"

#include <Entry.h>

#include <memory>
#include <string>

class PackageTest : public TempRootTest {
protected:
	void WritePackage(const Bytes& bytes, const std::string& path = "boot/test.pkg")
	{
		fRoot.WriteFile(path, std::string(bytes.begin(), bytes.end()));
	}

	std::unique_ptr<InstallPack> OpenPackage(bool selfExtracting = false,
		const char* path = "/boot/test.pkg")
	{
		entry_ref ref;
		EXPECT_EQ(get_ref_for_path(path, &ref), B_OK);
		return std::make_unique<InstallPack>(ref, selfExtracting);
	}

	// Writes and opens a stand-alone package; fAlerts receives what the
	// alerts said.
	std::unique_ptr<InstallPack> Open(const Bytes& bytes)
	{
		WritePackage(bytes);
		testing::internal::CaptureStderr();
		std::unique_ptr<InstallPack> pack = OpenPackage();
		fAlerts = testing::internal::GetCapturedStderr();
		return pack;
	}

	bool Contains(const std::string& text) const
	{
		return fAlerts.find(text) != std::string::npos;
	}

	std::string fAlerts;
};

#endif // _TESTS_PACKAGE_FIXTURE_H
