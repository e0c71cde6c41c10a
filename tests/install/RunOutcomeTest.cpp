// How a run ended, as the worker's 'Done' tells the install window: which
// item a failed run stopped at (or passed over last) and why, in the words
// the person was given.

#include "InstallScenario.h"

#include "InstallOutcome.h"

#include <AlertAnswerer.h>

#include <regex>

namespace {

const char* const kDamagedReason = "its data in the package are damaged";

InstallOutcome
OutcomeOf(const BMessage& done)
{
	InstallOutcome outcome;
	EXPECT_TRUE(outcome.SetFrom(&done)) << "no outcome in 'Done'";
	return outcome;
}


bool
EndsCompleted(const std::string& log)
{
	static const std::regex kFooter("\n\nCompleted: [^\n]*\n\n$");
	return std::regex_search(log, kFooter);
}

} // namespace


class RunOutcomeTest : public InstallScenarioTest {
protected:
	void SetUp() override
	{
		InstallScenarioTest::SetUp();
		AlertRules::ForgetAnswered();
	}
};


TEST_F(RunOutcomeTest, AFailingScriptNamesItselfAndItsExitStatus)
{
	PackagePlan plan;
	// The package's script-failure flag: a script that fails stops the run.
	plan.Attributes().SetPackageFlags(kScriptFailureBit);
	plan.File(plan.Top(), "readme", "read me");
	plan.Script(plan.Top(), "setup", "#!/bin/sh\necho trying\nexit 3\n");
	plan.File(plan.Top(), "after", "never");
	Prepare(plan);

	BMessage done = RunInstall();

	InstallOutcome outcome = OutcomeOf(done);
	EXPECT_EQ(outcome.Code(), kRunFailed);
	EXPECT_EQ(outcome.Item(), "setup");
	EXPECT_EQ(outcome.Reason(), "the script \"setup\" exited with status 3");
	EXPECT_FALSE(outcome.WentOn());
	EXPECT_FALSE(done.GetBool("completed", true));
	EXPECT_FALSE(Exists("boot/apps/Tool/after"));
	// The log's footer stays as stored logs have it.
	EXPECT_TRUE(EndsCompleted(Log())) << Log();
}


TEST_F(RunOutcomeTest, AFolderThatCannotBeMadeIsNamedWithWhy)
{
	PackagePlan plan;
	// The top folder is not selected: a folder that goes into it has no
	// folder to be made in, and the run ends there.
	plan.Top()->fGroups = 2;
	plan.Folder(plan.Top(), "nowhere");
	plan.File(plan.Top(), "late", "late")->fDestIndex = kInstallFolderDestination;
	Prepare(plan);
	fAttrib.fInstallFolderGroups = 1;

	InstallOutcome outcome = OutcomeOf(RunInstall());

	EXPECT_EQ(outcome.Code(), kRunFailed);
	EXPECT_EQ(outcome.Item(), "nowhere");
	EXPECT_EQ(outcome.Reason(), "Destination directory for \"nowhere\" could not be found.");
}


// "Cancel" in a file's error question ends the run on that failure: it is
// not a cancel of the person's own accord, and it names the file.
TEST_F(RunOutcomeTest, AFileThatCannotBeWrittenIsNamedWhenTheRunStopsThere)
{
	PackagePlan plan;
	plan.File(plan.Top(), "fine", "ok");
	plan.File(plan.Top(), "liar", std::string(3000, 'x'))->fSize = 1000;
	plan.File(plan.Top(), "after", "never");
	Prepare(plan);

	AlertRules stop("The package file is corrupt", "Cancel");
	BMessage done = RunInstall();

	InstallOutcome outcome = OutcomeOf(done);
	EXPECT_EQ(outcome.Code(), kRunFailed);
	EXPECT_EQ(outcome.Item(), "liar");
	EXPECT_EQ(outcome.Reason(), kDamagedReason);
	EXPECT_FALSE(outcome.WentOn());
	EXPECT_FALSE(Exists("boot/apps/Tool/after"));
}


// Items passed over with "Continue" leave the package not installed: the
// run fails, naming the last one, though it went on to its end.
TEST_F(RunOutcomeTest, ItemsPassedOverFailTheRunNamingTheLast)
{
	PackagePlan plan;
	plan.File(plan.Top(), "liar", std::string(3000, 'x'))->fSize = 1000;
	plan.File(plan.Top(), "short", "tiny")->fSize = 5000;
	plan.File(plan.Top(), "honest", "true");
	Prepare(plan);

	AlertRules goOn("The package file is corrupt", "Continue");
	BMessage done = RunInstall();

	InstallOutcome outcome = OutcomeOf(done);
	EXPECT_EQ(outcome.Code(), kRunFailed);
	EXPECT_EQ(outcome.Item(), "short");
	EXPECT_EQ(outcome.Reason(), kDamagedReason);
	EXPECT_TRUE(outcome.WentOn());
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/honest"), "true");
}
