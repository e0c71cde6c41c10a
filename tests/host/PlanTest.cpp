// --plan through the program: the plan of a run names, item by item, what
// the real run with the same options then does (read back from its
// receipt), the plan itself leaves the system root exactly as it was, and
// a run that would stop is told with exit status 1 and why.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>
#include <SizedPackage.h>
#include <TreeSnapshot.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kPackageTool = KESTROVAN_PKG_PROGRAM;
const char* const kReceipt = "/boot/var/kestrovan/receipts/Tool.json";

// What the receipt calls what a run did to an existing entry, for each
// action a plan names.
std::string
ReceiptWordFor(const std::string& action)
{
	static const std::map<std::string, std::string> kWords = {
		{ "create", "none" }, { "replace", "replaced" },
		{ "rename existing", "renamed" }, { "merge", "merged" },
		{ "skip", "skipped" }, { "patch", "patched" } };
	auto found = kWords.find(action);
	return found != kWords.end() ? found->second : "?" + action;
}


// The action a plan item comes to: its own, or the answer to its question.
std::string
EffectiveAction(const json& item)
{
	std::string action = item["action"];
	return action == "ask" ? item["answer"].get<std::string>() : action;
}

} // namespace


class PlanTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::string source = fScratch / "source/Tool";
		for (const char* name : {"new.txt", "ask.txt", "keep.txt", "renamed.txt",
				"update.txt", "only-update.txt"})
			WriteHostFileText(source + "/" + name, std::string("new ") + name);
		WriteHostFileText(source + "/docs/guide.txt", "the guide");
		std::filesystem::create_symlink("new.txt", source + "/current");
		// The patch turns a 300-byte original into a 320-byte file.
		WriteHostFileText(fScratch / "old/lib.dat", std::string(300, 'o'));
		WriteHostFileText(fScratch / "new/lib.dat", std::string(300, 'o') + std::string(20, 'n'));
		WriteHostFileText(fScratch / "setup.sh", "#!/bin/sh\necho ran > script-ran\n");
		fPackage = Build("tool", "");
	}

	// The package "Tool" with `extra` fields added to its manifest, and
	// `itemsExtra` to its item settings.
	std::string Build(const std::string& name, const std::string& extra,
		const std::string& itemsExtra = std::string())
	{
		std::string manifest = fScratch / (name + ".json");
		WriteHostFileText(manifest, R"({"name": "Tool", "folder_name": "Tool", "source": ")"
			+ fScratch / "source/Tool" + R"(", "groups": [{"name": "All"}, {"name": "Docs"}],
			"flags": {"top_folder": true, "folder_choice": true},
			"items": {"": {"replace": "merge"}, "new.txt": {"replace": "ask"},
				"ask.txt": {"replace": "ask"}, "keep.txt": {"replace": "never"},
				"renamed.txt": {"replace": "rename"}, "update.txt": {"replace": "update-only"},
				"only-update.txt": {"replace": "update-only"},
				"docs": {"replace": "merge", "groups": ["Docs"]})" + itemsExtra + R"(},
			"scripts": [{"source": ")" + fScratch / "setup.sh" + R"(", "name": "setup"}],
			"patches": [{"old": ")" + fScratch / "old/lib.dat" + R"(", "new": ")"
			+ fScratch / "new/lib.dat" + R"("}])" + extra + "}");
		std::string package = fScratch / (name + ".pkg");
		std::string message;
		EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
			<< message;
		return package;
	}

	// A root where "Tool" was installed before: what its items meet.
	void MakeRoot()
	{
		std::filesystem::remove_all(fRoot);
		std::filesystem::create_directories(fRoot + "/Data");
		std::string tool = fRoot + "/boot/apps/Tool";
		for (const char* name : {"ask.txt", "keep.txt", "renamed.txt", "update.txt"})
			WriteHostFileText(tool + "/" + name, std::string("old ") + name);
		WriteHostFileText(tool + "/docs/mine.txt", "the user's own");
		WriteHostFileText(tool + "/lib.dat", std::string(300, 'o'));
	}

	ProgramRun Run(const std::vector<std::string>& options, bool plan,
		const std::string& package = std::string())
	{
		std::vector<std::string> words = {kProgram, "--root", fRoot};
		words.push_back(plan ? "--plan" : "--unattended");
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(package.empty() ? fPackage : package);
		std::string output = fScratch / "plan.json";
		std::filesystem::remove(output);
		return RunProgram(words, fScratch / "errors.txt", nullptr, &output);
	}

	// The plan a --plan run printed.
	json Plan(const ProgramRun& run)
	{
		std::string text = ReadHostFileText(fScratch / "plan.json");
		json plan = json::parse(text, nullptr, false);
		EXPECT_FALSE(plan.is_discarded()) << text << run.errors;
		return plan;
	}

	// The plan's item at `path`; null when it has none.
	static json ItemAt(const json& plan, const std::string& path)
	{
		for (const json& item : plan["items"]) {
			if (item["path"] == path)
				return item;
		}
		return json();
	}

	ScratchDir fScratch;
	std::string fRoot;
	std::string fPackage;
};


TEST_F(PlanTest, ThePlanIsWhatTheRunThenDoesItemByItem)
{
	// The replace dialog's answer changes what becomes of "ask.txt".
	const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
		{ {}, "rename existing" },
		{ {"--existing", "replace", "--groups", "All,Docs"}, "replace" },
		{ {"--existing", "skip", "--keep-originals"}, "skip" } };
	for (const auto& [options, askAnswer] : cases) {
		SCOPED_TRACE(::testing::PrintToString(options));
		MakeRoot();
		auto before = SnapshotTree(fRoot);
		ProgramRun planned = Run(options, true);
		ASSERT_EQ(planned.status, 0) << planned.errors;
		EXPECT_EQ(SnapshotTree(fRoot), before) << "the plan wrote something";
		json plan = Plan(planned);
		ASSERT_TRUE(plan["proceed"].get<bool>()) << plan.dump(1);
		EXPECT_EQ(plan["package"]["name"], "Tool");
		EXPECT_EQ(plan["package"]["signer"]["state"], "not signed");
		EXPECT_EQ(plan["volume"], "boot");
		EXPECT_EQ(plan["folder"], "/boot/apps");
		EXPECT_GT(plan["bytes needed"].get<int64_t>(), 0);
		EXPECT_GT(plan["bytes free"].get<int64_t>(), plan["bytes needed"].get<int64_t>());

		// What each item meets decides its action.
		const std::string tool = "/boot/apps/Tool/";
		std::map<std::string, std::string> expected = {
			{ "/boot/apps/Tool", "merge" }, { tool + "new.txt", "create" },
			{ tool + "ask.txt", askAnswer }, { tool + "keep.txt", "skip" },
			{ tool + "renamed.txt", "rename existing" }, { tool + "update.txt", "replace" },
			{ tool + "only-update.txt", "skip" }, { tool + "current", "create" },
			{ tool + "lib.dat", "patch" }, { tool + "setup", "run script" } };
		bool docs = options.size() == 4;
		if (docs) {
			expected[tool + "docs"] = "merge";
			expected[tool + "docs/guide.txt"] = "create";
		}
		EXPECT_EQ(plan["items"].size(), expected.size()) << plan["items"].dump(1);
		for (const auto& [path, action] : expected) {
			json item = ItemAt(plan, path);
			ASSERT_FALSE(item.is_null()) << path << " is not in the plan";
			EXPECT_EQ(EffectiveAction(item), action) << item.dump();
		}
		EXPECT_EQ(ItemAt(plan, tool + "ask.txt")["action"], "ask");
		EXPECT_EQ(ItemAt(plan, tool + "lib.dat")["original"], tool + "lib.dat");
		EXPECT_EQ(ItemAt(plan, tool + "lib.dat")["keep original"], options.size() == 3);
		EXPECT_EQ(ItemAt(plan, tool + "setup")["kind"], "script");
		EXPECT_EQ(ItemAt(plan, tool + "current")["kind"], "link");

		// The run with the same options does just that.
		ProgramRun installed = Run(options, false);
		ASSERT_EQ(installed.status, 0) << installed.errors;
		json receipt = json::parse(ReadHostFileText(fRoot + kReceipt), nullptr, false);
		ASSERT_FALSE(receipt.is_discarded());
		std::map<std::string, std::string> done;
		for (const json& item : receipt["items"])
			done[item["path"]] = item["existing"];
		for (const json& item : plan["items"]) {
			std::string path = item["path"];
			std::string action = EffectiveAction(item);
			if (action == "run script") {
				ASSERT_EQ(receipt["scripts"].size(), 1u);
				EXPECT_EQ(receipt["scripts"][0]["name"], "setup");
			} else if (path == tool + "only-update.txt") {
				// Nothing was there to update: not installed, nothing kept.
				EXPECT_EQ(done.count(path), 0u);
				EXPECT_FALSE(std::filesystem::exists(fRoot + path));
			} else
				EXPECT_EQ(done[path], ReceiptWordFor(action)) << path;
		}
	}
}


TEST_F(PlanTest, AMissingFolderIsPlannedWithoutBeingMade)
{
	MakeRoot();
	auto before = SnapshotTree(fRoot);
	ProgramRun planned = Run({"--folder", "/Data/opt/new"}, true);
	ASSERT_EQ(planned.status, 1) << planned.errors;
	EXPECT_EQ(SnapshotTree(fRoot), before);
	EXPECT_FALSE(std::filesystem::exists(fRoot + "/Data/opt"));
	json plan = Plan(planned);
	EXPECT_EQ(plan["volume"], "Data");
	EXPECT_EQ(plan["folder"], "/Data/opt/new");
	// Everything is new there; the patch finds no original, and the run
	// then stops before it installs anything.
	EXPECT_EQ(ItemAt(plan, "/Data/opt/new/Tool")["action"], "create");
	EXPECT_EQ(ItemAt(plan, "/Data/opt/new/Tool/ask.txt")["action"], "create");
	EXPECT_EQ(ItemAt(plan, "/Data/opt/new/Tool/update.txt")["action"], "skip");
	EXPECT_EQ(ItemAt(plan, "/Data/opt/new/Tool/lib.dat")["action"], "skip");
	EXPECT_FALSE(plan["proceed"].get<bool>());
	EXPECT_EQ(plan["stop"]["reason"],
		"Cannot install because files to be patched were not found.");

	ProgramRun installed = Run({"--folder", "/Data/opt/new"}, false);
	EXPECT_EQ(installed.status, 1) << installed.errors;
	EXPECT_FALSE(std::filesystem::exists(fRoot + "/Data/opt/new/Tool"));
}


TEST_F(PlanTest, ARunThatWouldStopSaysWhyAndWritesNothing)
{
	std::string agreement = Build("agreement", R"(, "agreement": {"text": "Be nice."})");
	std::string search = Build("search", R"(, "custom_destinations":
		[{"query": {"name": "missing.bin", "size": 12345, "signature": ""}}])",
		R"(, "new.txt": {"destination": 0, "custom": true})");
	struct Case {
		const char* name;
		std::vector<std::string> options;
		std::string package;
		const char* outcome;
		const char* reason;
	};
	const std::vector<Case> cases = {
		{ "agreement not accepted", {}, agreement, "declined", "the agreement was declined" },
		{ "existing item cancels", {"--existing", "cancel"}, fPackage, "cancelled",
			"\"ask.txt\" is answered \"Cancel Install\"" },
		{ "a search without a match", {"--on-error", "continue"}, search, "failed",
			"Destination directory for \"new.txt\" could not be found." },
		{ "signature required", {"--require-signature"}, fPackage, "unopenable",
			"A signature by a trusted key is required" },
		{ "no such group", {"--groups", "Nope"}, fPackage, "failed",
			"the package has no group \"Nope\"" },
		{ "no such package", {}, fScratch / "missing.pkg", "unopenable", "no such package" },
		{ "not enough space", {}, SizedPackage(fScratch, "huge.pkg", {{"huge", 1LL << 55}}),
			"failed", "Cannot install on the volume \"boot\" because there is not enough "
			"free space." } };
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		MakeRoot();
		auto before = SnapshotTree(fRoot);
		ProgramRun planned = Run(test.options, true, test.package);
		EXPECT_EQ(planned.status, 1) << planned.errors;
		EXPECT_EQ(SnapshotTree(fRoot), before);
		json plan = Plan(planned);
		EXPECT_FALSE(plan["proceed"].get<bool>());
		EXPECT_EQ(plan["stop"]["outcome"], test.outcome) << plan.dump(1);
		EXPECT_NE(plan["stop"]["reason"].get<std::string>().find(test.reason),
			std::string::npos) << plan["stop"].dump();
	}
}


TEST_F(PlanTest, ASignedPackageNamesItsSigner)
{
	ASSERT_EQ(RunProgram({kPackageTool, "keygen", "-o", fScratch / "author",
		"--no-password"}, fScratch / "tool-errors.txt").status, 0);
	ASSERT_EQ(RunProgram({kPackageTool, "sign", fPackage, "--key", fScratch / "author.key",
		"--comment", "Tool makers"}, fScratch / "tool-errors.txt").status, 0);
	MakeRoot();
	for (bool trusted : {false, true}) {
		SCOPED_TRACE(trusted ? "trusted" : "unknown");
		std::vector<std::string> options;
		if (trusted)
			options = {"--trusted-key", fScratch / "author.pub"};
		ProgramRun planned = Run(options, true);
		ASSERT_EQ(planned.status, 0) << planned.errors;
		json signer = Plan(planned)["package"]["signer"];
		EXPECT_EQ(signer["state"], trusted ? "trusted" : "unknown key");
		EXPECT_EQ(signer["key id"].get<std::string>().size(), 16u) << signer.dump();
		EXPECT_NE(planned.errors.find(signer["key id"].get<std::string>()), std::string::npos);
	}
}


TEST_F(PlanTest, ASearchInstallsIntoTheMatchThatChooseNames)
{
	std::string search = Build("search", R"(, "custom_destinations":
		[{"query": {"name": "marker.bin", "size": 777, "signature": ""}}])",
		R"(, "new.txt": {"destination": 0, "custom": true})");
	for (int choose : {1, 0, 2}) {
		SCOPED_TRACE("--choose " + std::to_string(choose));
		MakeRoot();
		WriteHostFileText(fRoot + "/boot/one/marker.bin", std::string(777, 'm'));
		WriteHostFileText(fRoot + "/boot/two/marker.bin", std::string(777, 'm'));
		std::vector<std::string> options = {"--choose", std::to_string(choose)};
		ProgramRun planned = Run(options, true, search);
		json plan = Plan(planned);
		json item;
		for (const json& each : plan["items"]) {
			if (each["path"].get<std::string>().find("new.txt") != std::string::npos)
				item = each;
		}
		ASSERT_FALSE(item.is_null()) << plan.dump(1);
		EXPECT_EQ(item["matches"], 2);
		if (choose == 2) {
			// Past the last match: the chooser's "Cancel".
			EXPECT_EQ(planned.status, 1);
			EXPECT_EQ(item["action"], "ask");
			EXPECT_EQ(item["answer"], "cancel");
			EXPECT_EQ(plan["stop"]["outcome"], "cancelled");
			continue;
		}
		ASSERT_EQ(planned.status, 0) << planned.errors;
		std::string chosen = item["chosen"];
		std::string folder = chosen.substr(0, chosen.rfind('/'));
		EXPECT_EQ(item["path"], folder + "/new.txt");
		EXPECT_EQ(item["action"], "create");

		// The run installs where the plan said.
		ProgramRun installed = Run(options, false, search);
		ASSERT_EQ(installed.status, 0) << installed.errors;
		EXPECT_EQ(ReadHostFileText(fRoot + folder + "/new.txt"), "new new.txt");
	}
}
