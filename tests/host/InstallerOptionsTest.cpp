#include "InstallerOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

InstallerOptions::parse_result
ParseArguments(InstallerOptions& options, std::vector<const char*> arguments)
{
	return options.Parse((int)arguments.size(), arguments.data());
}

} // namespace


TEST(InstallerOptionsTest, NoArgumentsInstallTheProgramsOwnPackageInAWindow)
{
	InstallerOptions options;
	EXPECT_EQ(InstallerOptions::kRun, ParseArguments(options, {}));
	EXPECT_TRUE(options.fPackage.empty());
	EXPECT_FALSE(options.fUnattended);
	EXPECT_FALSE(options.fAcceptLicense);
	// An existing item is kept beside the new one unless asked otherwise.
	EXPECT_EQ(kExistingRename, options.fExisting);
	EXPECT_FALSE(options.fContinueOnError);
	EXPECT_EQ(0, options.fChoose);
}


TEST(InstallerOptionsTest, EveryUnattendedAnswerIsRead)
{
	InstallerOptions options;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(options, {"--unattended",
		"--root", "/tmp/r", "--volume=Data", "--folder", "/Data/tools",
		"--groups", " Full , Docs,", "--accept-license", "--existing", "rename",
		"--on-error", "continue", "--keep-originals", "--choose", "2",
		"--screenshots", "shots", "pkg.pkg"})) << options.ErrorText();
	EXPECT_TRUE(options.fUnattended);
	EXPECT_EQ("/tmp/r", options.fRoot);
	EXPECT_EQ("Data", options.fVolume);
	EXPECT_EQ("/Data/tools", options.fFolder);
	EXPECT_EQ((std::vector<std::string>{"Full", "Docs"}), options.fGroups);
	EXPECT_TRUE(options.fAcceptLicense);
	EXPECT_EQ(kExistingRename, options.fExisting);
	EXPECT_TRUE(options.fContinueOnError);
	EXPECT_TRUE(options.fKeepOriginals);
	EXPECT_EQ(2, options.fChoose);
	EXPECT_EQ("shots", options.fScreenshots);
	EXPECT_EQ("pkg.pkg", options.fPackage);
}


TEST(InstallerOptionsTest, MistakesAreUsageErrorsThatSayWhat)
{
	const std::vector<std::vector<const char*>> wrong = {
		{"--existing", "overwrite"}, {"--on-error", "ignore"},
		{"--choose", "-1"}, {"--choose", "2x"}, {"--root"}, {"--volume="},
		{"--display", "x11"}, {"--bogus"}, {"a.pkg", "b.pkg"},
		{"--unattended=yes"}, {"--unattended", "--display", "sdl"},
		{"--folder", "/Data/../../etc"}, {"--folder", "/Data/./x"}, {"--folder", ".."}};
	for (const auto& arguments : wrong) {
		InstallerOptions options;
		EXPECT_EQ(InstallerOptions::kUsageError,
			ParseArguments(options, arguments)) << arguments[0];
		EXPECT_FALSE(options.ErrorText().empty()) << arguments[0];
	}

	InstallerOptions help;
	EXPECT_EQ(InstallerOptions::kShowHelp,
		ParseArguments(help, {"--volume", "boot", "--help", "--bogus"}));
	InstallerOptions version;
	EXPECT_EQ(InstallerOptions::kShowVersion,
		ParseArguments(version, {"--version"}));
}


TEST(InstallerOptionsTest, TheScaleIsANumberFrom1To4AndTheDesktopsWhenNotGiven)
{
	InstallerOptions unset;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(unset, {}));
	EXPECT_EQ(0, unset.fScale);
	InstallerOptions twice;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(twice, {"--scale", "2"}))
		<< twice.ErrorText();
	EXPECT_EQ(2, twice.fScale);
	InstallerOptions half;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(half, {"--scale=1.5", "--unattended"}))
		<< half.ErrorText();
	EXPECT_EQ(1.5f, half.fScale);

	for (const char* value : {"0", "-1", "0.5", "5", "two", "2x", "nan", "inf", " 2"}) {
		InstallerOptions options;
		EXPECT_EQ(InstallerOptions::kUsageError,
			ParseArguments(options, {"--scale", value})) << value;
		EXPECT_EQ("--scale takes a number from 1 to 4 (such as 2 or 1.5), not "
			+ std::string(value), options.ErrorText());
	}
	InstallerOptions missing;
	EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(missing, {"--scale"}));
	EXPECT_EQ("--scale needs a value", missing.ErrorText());
}


TEST(InstallerOptionsTest, CommandsForInstalledPackages)
{
	InstallerOptions list;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(list, {"--list-installed",
		"--json", "--volume", "Data"})) << list.ErrorText();
	EXPECT_EQ(kListInstalled, list.fInstalledCommand);
	EXPECT_TRUE(list.fJson);
	EXPECT_EQ("Data", list.fVolume);

	InstallerOptions verify;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(verify,
		{"--verify-installed=Tool"})) << verify.ErrorText();
	EXPECT_EQ(kVerifyInstalled, verify.fInstalledCommand);
	EXPECT_EQ("Tool", verify.fInstalledName);

	InstallerOptions uninstall;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(uninstall, {"--force",
		"--uninstall", "My Tool"})) << uninstall.ErrorText();
	EXPECT_EQ(kUninstall, uninstall.fInstalledCommand);
	EXPECT_EQ("My Tool", uninstall.fInstalledName);
	EXPECT_TRUE(uninstall.fForce);

	InstallerOptions install;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(install, {"a.pkg"}));
	EXPECT_EQ(kNoInstalledCommand, install.fInstalledCommand);

	const std::vector<std::vector<const char*>> wrong = {
		{"--uninstall"}, {"--verify-installed="}, {"--json"},
		{"--force", "--verify-installed", "Tool"}, {"--list-installed=yes"},
		{"--list-installed", "--uninstall", "Tool"},
		{"--uninstall", "Tool", "--uninstall", "Other"},
		{"--uninstall", "Tool", "a.pkg"}};
	for (const auto& arguments : wrong) {
		InstallerOptions options;
		EXPECT_EQ(InstallerOptions::kUsageError,
			ParseArguments(options, arguments)) << arguments[0];
		EXPECT_FALSE(options.ErrorText().empty()) << arguments[0];
	}
}


TEST(InstallerOptionsTest, TheRunsOutputsForMachinesGoWithAnInstallOnly)
{
	InstallerOptions options;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(options, {"--report", "r.json",
		"--progress-fd=5", "--log-copy", "copy.log", "pkg.pkg"})) << options.ErrorText();
	EXPECT_EQ("r.json", options.fReportPath);
	EXPECT_EQ(5, options.fProgressFD);
	EXPECT_EQ("copy.log", options.fLogCopyPath);
	EXPECT_EQ("pkg.pkg", options.fPackage);
	EXPECT_EQ(-1, InstallerOptions().fProgressFD);

	struct {
		std::vector<const char*> arguments;
		const char* error;
	} const kMistakes[] = {
		{ {"--progress-fd", "2"}, "--progress-fd takes an open descriptor number from 1 "
			"(not 2, standard error), not 2" },
		{ {"--progress-fd", "three"}, "--progress-fd takes an open descriptor number from "
			"1 (not 2, standard error), not three" },
		{ {"--progress-fd", "0"}, "--progress-fd takes an open descriptor number from 1 "
			"(not 2, standard error), not 0" },
		{ {"--report"}, "--report needs a value" },
		{ {"--report", "same", "--log-copy", "same"},
			"--report and --log-copy name the same file" },
		{ {"--list-installed", "--report", "r.json"},
			"--report, --progress-fd and --log-copy go with an install" },
		{ {"--recover", "--log-copy", "c.log"},
			"--report, --progress-fd and --log-copy go with an install" },
	};
	for (const auto& mistake : kMistakes) {
		InstallerOptions wrong;
		EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(wrong, mistake.arguments))
			<< mistake.error;
		EXPECT_EQ(mistake.error, wrong.ErrorText());
	}
}


TEST(InstallerOptionsTest, APlanIsAnsweredAsAnUnattendedRunAndGoesWithAPackage)
{
	InstallerOptions plan;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(plan, {"--plan", "--existing",
		"replace", "a.pkg"}));
	EXPECT_TRUE(plan.fPlan);
	EXPECT_TRUE(plan.fUnattended);
	EXPECT_EQ(plan.fExisting, kExistingReplace);

	const std::vector<std::vector<const char*>> wrong = {
		{"--plan=yes"}, {"--plan", "--list-installed"}, {"--plan", "--recover"},
		{"--plan", "--uninstall", "Tool"}, {"--plan", "--display", "sdl"}};
	for (const auto& arguments : wrong) {
		InstallerOptions options;
		EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(options, arguments))
			<< arguments.back();
		EXPECT_FALSE(options.ErrorText().empty());
	}
}
