// The installer's commands for installed packages, run as a person runs
// them: --list-installed [--json], --verify-installed and --uninstall
// [--force] on receipts of a temporary root and on the receipt a real
// install wrote, their output, their exit status, and alerts on standard
// error where nobody is at a window.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ReceiptBuilder.h>
#include <ScratchDir.h>
#include <TempRoot.h>

#include "PackageAssembler.h"

#include <Directory.h>
#include <FileLock.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;

struct CommandRun {
	ProgramRun run;
	std::string output;
};


void
WriteHostFile(const std::string& path, const std::string& contents)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << contents;
}

} // namespace


class InstalledCommandsTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		WriteFile("boot/apps/Tool/tool", "a tool\n");
		WriteFile("boot/apps/Tool/readme", "read me\n");
		for (const char* path : { "/boot/apps/Tool", "/boot/apps/Tool/tool",
				"/boot/apps/Tool/readme" })
			fTool.Add(path);
		fTool.fReceipt.fInstallFolder = "/boot/apps/Tool";
		fTool.fReceipt.fScripts = { { "setup", "/boot/apps/Tool" } };
	}

	void WriteFile(const std::string& relative, const std::string& contents)
	{
		fRoot.WriteFile(relative, contents);
		std::filesystem::permissions(fRoot.HostPath(relative),
			(std::filesystem::perms)0644);
	}

	// The installer with `arguments` on this root; its standard output
	// kept apart from its standard error.
	CommandRun Run(const std::vector<std::string>& arguments,
		const std::string& variable = std::string())
	{
		std::string output = fScratch / "output";
		std::vector<std::string> words = { "/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$OUT\"",
			kProgram, "--root", fRoot.HostPath() };
		words.insert(words.end(), arguments.begin(), arguments.end());
		std::vector<std::string> environment = { "OUT=" + output, "PATH=/usr/bin:/bin" };
		if (!variable.empty())
			environment.push_back(variable);
		for (const std::string& setting : SanitizerEnvironment())
			environment.push_back(setting);
		CommandRun command;
		command.run = RunProgram(words, fScratch / "errors", &environment);
		command.output = ReadHostFileText(output);
		return command;
	}

	ScratchDir fScratch;
	ReceiptBuilder fTool{"Tool", "boot"};
};


TEST_F(InstalledCommandsTest, ListsTheReceiptsOfEveryVolume)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	WriteFile("Data/Other/file", "other\n");
	ReceiptBuilder other("Other", "Data");
	other.Add("/Data/Other");
	other.Add("/Data/Other/file");
	ASSERT_EQ(other.Write(), B_OK);
	WriteFile("boot/var/kestrovan/receipts/Broken.json", "{\"format\": 1");

	CommandRun list = Run({ "--list-installed" });
	EXPECT_EQ(list.run.status, 0) << list.run.errors;
	EXPECT_EQ(list.output,
		"Tool\tboot\t/boot/apps/Tool\t3 items\t2026-12-09T10:55:00Z\n"
		"Other\tData\t(no install folder)\t2 items\t2026-12-09T10:55:00Z\n");
	EXPECT_EQ(list.run.errors, "kestrovan-installer: passed over "
		"/boot/var/kestrovan/receipts/Broken.json: not a receipt\n");

	CommandRun json = Run({ "--list-installed", "--json" });
	EXPECT_EQ(json.run.status, 0);
	nlohmann::json records = nlohmann::json::parse(json.output, nullptr, false);
	ASSERT_TRUE(records.is_array()) << json.output;
	ASSERT_EQ(records.size(), 2u);
	EXPECT_EQ(records[0]["package"]["name"], "Tool");
	EXPECT_EQ(records[0]["items"][1]["path"], "/boot/apps/Tool/tool");
	EXPECT_EQ(records[1]["volume"], "Data");

	CommandRun narrowed = Run({ "--list-installed", "--json", "--volume", "boot" });
	records = nlohmann::json::parse(narrowed.output, nullptr, false);
	ASSERT_TRUE(records.is_array()) << narrowed.output;
	EXPECT_EQ(records.size(), 1u);

	std::filesystem::remove_all(fRoot.HostPath("boot/var"));
	std::filesystem::remove_all(fRoot.HostPath("Data/var"));
	CommandRun none = Run({ "--list-installed", "--json" });
	EXPECT_EQ(none.run.status, 0);
	EXPECT_EQ(none.output, "[]\n");
}


TEST_F(InstalledCommandsTest, VerifyListsWhatDiffersAndSaysSoInItsStatus)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	CommandRun intact = Run({ "--verify-installed", "Tool" });
	EXPECT_EQ(intact.run.status, 0) << intact.run.errors;
	EXPECT_EQ(intact.output, "");

	WriteFile("boot/apps/Tool/readme", "READ ME\n");
	std::filesystem::remove(fRoot.HostPath("boot/apps/Tool/tool"));
	CommandRun changed = Run({ "--verify-installed", "Tool" });
	EXPECT_EQ(changed.run.status, 1);
	EXPECT_EQ(changed.output, "/boot/apps/Tool/tool: missing\n"
		"/boot/apps/Tool/readme: contents changed\n");

	CommandRun unknown = Run({ "--verify-installed", "Nothing" });
	EXPECT_EQ(unknown.run.status, 1);
	EXPECT_EQ(unknown.run.errors,
		"kestrovan-installer: no package \"Nothing\" is installed\n");
}


TEST_F(InstalledCommandsTest, UninstallKeepsChangedItemsUntilForced)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	WriteFile("boot/apps/Tool/readme", "my notes\n");

	CommandRun kept = Run({ "--uninstall", "Tool" });
	EXPECT_EQ(kept.run.status, 1) << kept.run.errors;
	EXPECT_EQ(kept.output, "Removed 1 item of \"Tool\" from volume \"boot\".\n"
		"Kept /boot/apps/Tool/readme: contents changed (size 9, was 8)\n"
		"Kept /boot/apps/Tool: not empty\n"
		"The receipt of \"Tool\" stays, naming what was kept.\n"
		"--force removes the changed and patched items too.\n"
		"The scripts that ran when \"Tool\" was installed cannot be undone: "
		"\"setup\" (in /boot/apps/Tool)\n");
	EXPECT_EQ(Run({ "--list-installed" }).output,
		"Tool\tboot\t/boot/apps/Tool\t2 items\t2026-12-09T10:55:00Z\n");

	CommandRun forced = Run({ "--uninstall", "Tool", "--force" });
	EXPECT_EQ(forced.run.status, 0) << forced.run.errors;
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool")));
	EXPECT_EQ(Run({ "--list-installed" }).output, "");

	CommandRun gone = Run({ "--uninstall", "Tool" });
	EXPECT_EQ(gone.run.status, 1);
	EXPECT_EQ(gone.run.errors, "kestrovan-installer: no package \"Tool\" is installed\n");
}


TEST_F(InstalledCommandsTest, UninstallWaitsForNoRunAndSaysSo)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	std::filesystem::create_directories(fRoot.HostPath("boot/var/tmp"));
	BDirectory lockFolder("/boot/var/tmp");
	BPrivate::FileLock otherRun;
	ASSERT_EQ(otherRun.TryLock(&lockFolder, "kestrovan.lock"), B_OK);

	CommandRun busy = Run({ "--uninstall", "Tool" });
	EXPECT_EQ(busy.run.status, 1);
	EXPECT_EQ(busy.run.errors, "kestrovan-installer: another installation is running "
		"on volume \"boot\": nothing was removed; try again when it has finished\n");
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool/tool")));
}


// A removal killed in the middle is taken back by the next run on the
// volume, which says so on standard error (nobody is at a window) and goes
// on.
TEST_F(InstalledCommandsTest, AKilledRemovalIsTakenBackByTheNextRun)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	// The journal's header, then "readme" and "tool" moved aside.
	CommandRun killed = Run({ "--uninstall", "Tool" }, "KESTROVAN_JOURNAL_KILL_AT=3");
	ASSERT_EQ(killed.run.signal, SIGKILL) << killed.run.errors;
	ASSERT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool/readme")));

	CommandRun next = Run({ "--uninstall", "Tool" });
	EXPECT_FALSE(next.run.hung);
	EXPECT_EQ(next.run.status, 0) << next.run.errors;
	EXPECT_EQ(next.run.errors, "The removal of \"Tool\" was interrupted. The items it had "
		"removed have been put back.\n");
	EXPECT_EQ(next.output.substr(0, next.output.find('\n')),
		"Removed 3 items of \"Tool\" from volume \"boot\".");
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool")));
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/var/tmp")));
}


TEST_F(InstalledCommandsTest, APackageOnSeveralVolumesIsNamedWithItsVolume)
{
	ASSERT_EQ(fTool.Write(), B_OK);
	WriteFile("Data/Tool/tool", "a tool\n");
	ReceiptBuilder second("Tool", "Data");
	second.Add("/Data/Tool");
	second.Add("/Data/Tool/tool");
	ASSERT_EQ(second.Write(), B_OK);

	CommandRun ambiguous = Run({ "--uninstall", "Tool" });
	EXPECT_EQ(ambiguous.run.status, 1);
	EXPECT_EQ(ambiguous.run.errors, "kestrovan-installer: \"Tool\" is installed on "
		"several volumes (boot, Data): name one with --volume\n");
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("Data/Tool/tool")));

	CommandRun one = Run({ "--uninstall", "Tool", "--volume", "Data" });
	EXPECT_EQ(one.run.status, 0) << one.run.errors;
	EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("Data/Tool")));
	EXPECT_TRUE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool/tool")));
}


// What an install records, the commands read: a package installed over a
// folder and files of the user's, one renamed aside and one kept in place
// of the package's, is listed, checked and removed, and the renamed file
// gets its name back.
TEST_F(InstalledCommandsTest, WhatAnInstallRecordedIsListedCheckedAndRemoved)
{
	std::string source = fScratch / "source/Tool";
	for (const auto& [path, contents] : std::vector<std::pair<std::string, std::string>>{
			{ "bin", "the program" }, { "conf", "the package's conf" },
			{ "keep", "the package's keep" }, { "docs/ReadMe", "how to" } })
		WriteHostFile(source + "/" + path, contents);
	std::filesystem::create_symlink("bin", source + "/link");
	std::string manifest = fScratch / "tool.json";
	std::ofstream(manifest) << R"({"name": "Tool", "source": ")" + source + R"(",
		"groups": [{"name": "All"}], "flags": {"top_folder": true, "folder_choice": true},
		"items": {"": {"replace": "merge"}, "conf": {"replace": "rename"},
			"keep": {"replace": "never"}}})";
	std::string package = fScratch / "tool.pkg";
	std::string message;
	ASSERT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
		<< message;
	std::filesystem::remove_all(fRoot.HostPath("boot/apps/Tool"));
	WriteFile("boot/apps/Tool/conf", "the user's conf");
	WriteFile("boot/apps/Tool/mine", "the user's own");
	WriteFile("boot/apps/Tool/keep", "the user's keep");

	CommandRun install = Run({ "--unattended", "--accept-license", package });
	ASSERT_EQ(install.run.status, 0) << install.run.errors;
	ASSERT_EQ(fRoot.ReadFile("boot/apps/Tool/conf.old"), "the user's conf");

	CommandRun list = Run({ "--list-installed", "--json" });
	EXPECT_EQ(list.run.errors, "");
	nlohmann::json records = nlohmann::json::parse(list.output, nullptr, false);
	ASSERT_TRUE(records.is_array() && records.size() == 1) << list.output;
	EXPECT_EQ(records[0]["package"]["name"], "Tool");
	EXPECT_EQ(Run({ "--verify-installed", "Tool" }).run.status, 0);

	WriteFile("boot/apps/Tool/docs/ReadMe", "how to, annotated");
	CommandRun changed = Run({ "--verify-installed", "Tool" });
	EXPECT_EQ(changed.run.status, 1);
	EXPECT_EQ(changed.output, "/boot/apps/Tool/docs/ReadMe: contents changed "
		"(size 17, was 6)\n");

	CommandRun forced = Run({ "--uninstall", "Tool", "--force" });
	EXPECT_EQ(forced.run.status, 0) << forced.output << forced.run.errors;
	EXPECT_NE(forced.output.find("Renamed back: /boot/apps/Tool/conf\n"), std::string::npos)
		<< forced.output;
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/conf"), "the user's conf");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/mine"), "the user's own");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/keep"), "the user's keep");
	for (const char* gone : { "bin", "link", "docs", "conf.old" })
		EXPECT_FALSE(std::filesystem::exists(fRoot.HostPath("boot/apps/Tool/") + gone)) << gone;
	EXPECT_EQ(Run({ "--list-installed" }).output, "");
}
