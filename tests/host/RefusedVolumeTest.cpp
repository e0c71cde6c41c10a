// Unattended runs on a volume the install window refuses (full, read-only, or
// smaller than the selection): the refusal alert is answered, nothing is
// installed, and the program ends at once with status 1 and a message naming
// the volume; on a busy machine too, never hanging on an alert nobody answers.

#include <HostFileText.h>
#include <MountedVolume.h>
#include <PackageBytes.h>
#include <SizedPackage.h>
#include <ProgramRun.h>
#include <ScratchDir.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kSamplePackage = SAMPLE_PACKAGE;
const int64 kHugeSize = 1LL << 55;

std::string
Refusal(const std::string& volume)
{
	return "not installed: the volume \"" + volume + "\" cannot take this installation";
}


std::string
NoSpaceAlert(const std::string& volume)
{
	return "Cannot install on the volume \"" + volume
		+ "\" because there is not enough free space.\nanswer: OK\n";
}


// Busy loops on every core while it lives, as a loaded machine.
class BusyLoad {
public:
	BusyLoad()
	{
		for (long i = 0; i < sysconf(_SC_NPROCESSORS_ONLN); i++) {
			pid_t child = fork();
			if (child == 0) {
				// Never outlives the test, however it ends.
				prctl(PR_SET_PDEATHSIG, SIGKILL);
				volatile unsigned long spin = 0;
				while (true)
					spin = spin + 1;
			}
			if (child > 0)
				fChildren.push_back(child);
		}
	}

	~BusyLoad()
	{
		for (pid_t child : fChildren) {
			kill(child, SIGKILL);
			waitpid(child, nullptr, 0);
		}
	}

private:
	std::vector<pid_t> fChildren;
};

} // namespace


class RefusedVolumeTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::filesystem::create_directories(fRoot + "/boot");
		std::filesystem::create_directories(fRoot + "/Data");
	}

	// The installer, unattended, killed when it hangs.
	ProgramRun Install(const std::vector<std::string>& options, const std::string& package)
	{
		std::string errorsPath = fScratch / "errors.txt";
		std::vector<std::string> words = {kProgram, "--root", fRoot, "--display", "headless",
			"--unattended", "--accept-license"};
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(package);
		return RunProgram(words, errorsPath);
	}

	// Refused, said, answered and ended, with nothing installed.
	void ExpectRefused(const ProgramRun& run, const std::string& volume,
		const std::string& alert)
	{
		ASSERT_FALSE(run.hung) << run.errors;
		EXPECT_EQ(run.status, 1) << run.errors;
		EXPECT_NE(run.errors.find(alert), std::string::npos) << run.errors;
		EXPECT_NE(run.errors.find(Refusal(volume)), std::string::npos) << run.errors;
		EXPECT_FALSE(std::filesystem::exists(fRoot + "/" + volume + "/apps"));
	}

	ScratchDir fScratch;
	std::string fRoot;
	// Unmounted before the scratch folder goes.
	MountedVolume fVolume;
};


TEST_F(RefusedVolumeTest, AFullOrReadOnlyVolumeIsRefusedAndTheRunEnds)
{
	SKIP_UNLESS_MOUNTED(fVolume.Mount(MountedVolume::kTmpfs, fRoot + "/Small", 1));
	// Filled to the last byte: the sample's 35 K do not fit.
	{
		std::ofstream filler(fRoot + "/Small/filler", std::ios::binary);
		std::string block(4096, 'x');
		while (filler.write(block.data(), block.size()))
			;
	}
	ExpectRefused(Install({"--volume", "Small"}, kSamplePackage), "Small",
		NoSpaceAlert("Small"));

	fVolume.Unmount();
	SKIP_UNLESS_MOUNTED(fVolume.Mount(MountedVolume::kTmpfs, fRoot + "/Small", 1, true));
	ExpectRefused(Install({"--volume", "Small"}, kSamplePackage), "Small",
		"Cannot install on the volume \"Small\" because it is locked or read-only.\n"
		"answer: OK\n");
}


TEST_F(RefusedVolumeTest, ASelectionLargerThanTheVolumeEndsTheRunOnABusyMachine)
{
	std::string package = SizedPackage(fScratch, "huge.pkg", {{"huge", kHugeSize}});
	// The chosen volume refused.
	ExpectRefused(Install({"--volume", "Data"}, package), "Data", NoSpaceAlert("Data"));

	// The boot volume refused as the window opens, while the driver takes
	// its first look at the window: with every core busy, in either order.
	BusyLoad load;
	for (int attempt = 0; attempt < 8; attempt++) {
		SCOPED_TRACE("attempt " + std::to_string(attempt));
		ExpectRefused(Install({}, package), "boot", NoSpaceAlert("boot"));
		if (HasFatalFailure())
			return;
	}
}


TEST_F(RefusedVolumeTest, GroupsThatOutgrowTheVolumeAreRefusedAtBegin)
{
	// The volume takes the first group; "Begin" on the chosen groups is
	// refused, and the run ends naming the volume.
	std::string package = SizedPackage(fScratch, "groups.pkg",
		{{"small", 1}, {"huge", kHugeSize}});
	ProgramRun run = Install({"--groups", "huge"}, package);
	ExpectRefused(run, "boot", NoSpaceAlert("boot"));
	EXPECT_NE(run.errors.find("groups: huge\n"), std::string::npos) << run.errors;
}
