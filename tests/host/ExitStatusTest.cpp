// The program's exit status and what it says about how a run ended, in a
// window (the program's own entry point with a person's clicks made for it
// on the headless display) and unattended: 0 only after a completed run.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kWindowed = KESTROVAN_WINDOWED_INSTALLER;
const std::string kSamplePackage = SAMPLE_PACKAGE;

const char* const kScriptFailed = "the installation stopped at \"setup\": the script "
	"\"setup\" exited with status 3";

void
WriteFile(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}

} // namespace


class ExitStatusTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::filesystem::create_directories(fRoot + "/boot");
	}

	// A package "Tool" whose script "setup" exits with status 3, with the
	// flag that makes a failing script stop the run.
	std::string FailingScriptPackage()
	{
		WriteFile(fScratch / "src/Tool/readme", "read me\n");
		WriteFile(fScratch / "setup.sh", "#!/bin/sh\necho trying\nexit 3\n");
		std::string manifest = fScratch / "tool.json";
		WriteFile(manifest, R"({"name": "Tool", "source": ")" + fScratch / "src" + R"(",
			"groups": [{"name": "All"}],
			"flags": {"script_failure": true},
			"scripts": [{"source": ")" + fScratch / "setup.sh" + R"(", "name": "setup"}]})");
		std::string package = fScratch / "tool.pkg";
		std::string message;
		EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
			<< message;
		return package;
	}

	// `program` with `words` on a fresh system root, killed when it hangs.
	ProgramRun Run(const std::string& program, std::vector<std::string> words)
	{
		std::filesystem::remove_all(fRoot);
		std::filesystem::create_directories(fRoot + "/boot");
		std::string errorsPath = fScratch / "errors.txt";
		words.insert(words.begin(), program);
		return RunProgram(words, errorsPath);
	}

	// The program in its windows, `action` done for the person.
	ProgramRun RunWindowed(const std::string& action, const std::string& package)
	{
		return Run(kWindowed, {action, "--root", fRoot, "--display", "headless", package});
	}

	bool Installed(const std::string& path) const
	{
		return std::filesystem::exists(fRoot + "/boot/apps/" + path);
	}

	ScratchDir fScratch;
	std::string fRoot;
};


TEST_F(ExitStatusTest, AWindowedProgramExitsZeroOnlyAfterACompletedRun)
{
	ProgramRun declined = RunWindowed("disagree", kSamplePackage);
	ASSERT_FALSE(declined.hung) << declined.errors;
	EXPECT_EQ(declined.status, 1) << declined.errors;
	EXPECT_FALSE(Installed("Kestrovan Sample"));

	ProgramRun closed = RunWindowed("close", kSamplePackage);
	ASSERT_FALSE(closed.hung) << closed.errors;
	EXPECT_EQ(closed.status, 1) << closed.errors;
	EXPECT_FALSE(Installed("Kestrovan Sample"));

	ProgramRun completed = RunWindowed("begin", kSamplePackage);
	ASSERT_FALSE(completed.hung) << completed.errors;
	EXPECT_EQ(completed.status, 0) << completed.errors;
	EXPECT_TRUE(Installed("Kestrovan Sample/Kestrovan Sample"));

	// A run that failed is told in an alert, and the window closed after it
	// exits 1.
	ProgramRun failed = RunWindowed("begin", FailingScriptPackage());
	ASSERT_FALSE(failed.hung) << failed.errors;
	EXPECT_EQ(failed.status, 1) << failed.errors;
	EXPECT_NE(failed.errors.find("The installation stopped at \"setup\": the script "
		"\"setup\" exited with status 3\n"), std::string::npos) << failed.errors;
}


// A shutdown's termination request while the closing question waits for
// its answer ends the program, as outside a run: the run has completed and
// nothing is left to put back, and nobody need be there to answer.
TEST_F(ExitStatusTest, ATerminationRequestAtTheClosingQuestionEndsTheProgram)
{
	ProgramRun run = RunWindowed("terminate", kSamplePackage);
	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.signal, SIGTERM) << run.status << run.errors;
	EXPECT_TRUE(Installed("Kestrovan Sample/Kestrovan Sample"));
	std::string log = ReadHostFileText(fRoot + "/boot/Kestrovan Sample Install Log");
	EXPECT_NE(log.find("Completed: "), std::string::npos) << log;
}


TEST_F(ExitStatusTest, AnUnattendedRunSaysWhichScriptFailedAndItsStatus)
{
	ProgramRun run = Run(kProgram, {"--root", fRoot, "--display", "headless",
		"--unattended", FailingScriptPackage()});
	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.status, 1) << run.errors;
	EXPECT_NE(run.errors.find(std::string("not installed: ") + kScriptFailed + "\n"),
		std::string::npos) << run.errors;
	EXPECT_EQ(run.errors.find("did not finish"), std::string::npos) << run.errors;
}
