// What the program tells machines about a run, through the real program:
// the --report of every way a run ends (the exit status in it is the one
// the program returned), the --progress-fd lines (whole JSON lines whose
// byte counts reach the run's total; a reader that goes away harms nothing),
// and the --log-copy of the install log.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;

std::string
Quoted(const std::string& word)
{
	std::string quoted = "'";
	for (char c : word)
		quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
	return quoted + "'";
}


// The first entry of the report's `list` whose `field` is `value`; null
// when there is none.
json
FirstWhere(const json& report, const char* list, const char* field,
	const std::string& value)
{
	for (const json& entry : report[list]) {
		if (entry[field] == value)
			return entry;
	}
	return nullptr;
}


json
ItemAt(const json& report, const std::string& path)
{
	return FirstWhere(report, "items", "path", path);
}


json
QuestionOf(const json& report, const std::string& kind)
{
	return FirstWhere(report, "alerts", "kind", kind);
}

} // namespace


class RunReportTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::filesystem::create_directories(fRoot + "/boot");
		fReport = fScratch / "report.json";
	}

	// The package "Tool": a folder "Tool" with a readme, a program of 50000
	// bytes and a link; `extra` adds to the manifest.
	std::string Package(const std::string& extra = "")
	{
		// The source folder is the package's top folder.
		std::string source = fScratch / "Tool";
		WriteHostFileText(source + "/readme", "read me\n");
		WriteHostFileText(source + "/bin/tool", std::string(50000, 't'));
		std::filesystem::remove(source + "/latest");
		std::filesystem::create_symlink("bin/tool", source + "/latest");
		std::string manifest = fScratch / "tool.json";
		WriteHostFileText(manifest, R"({"name": "Tool", "source": ")" + source
			+ R"(", "groups": [{"name": "All"}])" + extra + "}");
		std::string package = fScratch / "tool.pkg";
		std::string message;
		EXPECT_EQ(build_package(manifest.c_str(), nullptr, package.c_str(), &message), B_OK)
			<< message;
		return package;
	}

	// A package whose script "setup" exits with status 3 and so fails the
	// run.
	std::string FailingScriptPackage()
	{
		WriteHostFileText(fScratch / "setup.sh", "#!/bin/sh\nexit 3\n");
		return Package(R"(, "flags": {"script_failure": true},
			"scripts": [{"source": ")" + fScratch / "setup.sh" + R"(", "name": "setup"}])");
	}

	// The program unattended on the root with a report, `options` and
	// `package`.
	ProgramRun Install(const std::string& package, std::vector<std::string> options = {})
	{
		std::vector<std::string> words = {kProgram, "--root", fRoot, "--unattended",
			"--report", fReport};
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(package);
		return RunProgram(words, fScratch / "errors.txt");
	}

	// The same through a shell, which gives the program `redirection`
	// (for its progress descriptor).
	ProgramRun InstallThroughShell(const std::string& package,
		const std::vector<std::string>& options, const std::string& redirection)
	{
		std::string command = "set -o pipefail; " + Quoted(kProgram) + " --root "
			+ Quoted(fRoot) + " --unattended --report " + Quoted(fReport);
		for (const std::string& option : options)
			command += " " + Quoted(option);
		command += " " + Quoted(package) + " " + redirection;
		return RunProgram({"/bin/bash", "-c", command}, fScratch / "errors.txt");
	}

	json Report() const
	{
		std::string text = ReadHostFileText(fReport);
		json report = json::parse(text, nullptr, false);
		EXPECT_FALSE(report.is_discarded()) << text;
		return report;
	}

	// Every line of the progress file, each parsed; a line that is no JSON
	// fails the test.
	std::vector<json> ProgressLines(const std::string& path) const
	{
		std::vector<json> lines;
		std::istringstream text(ReadHostFileText(path));
		std::string line;
		while (std::getline(text, line)) {
			json parsed = json::parse(line, nullptr, false);
			EXPECT_FALSE(parsed.is_discarded()) << line;
			if (!parsed.is_discarded())
				lines.push_back(parsed);
		}
		return lines;
	}

	ScratchDir fScratch;
	std::string fRoot;
	std::string fReport;
};


TEST_F(RunReportTest, ACompletedRunReportsEveryItemAndWhatWasDoneToIt)
{
	std::string package = Package();
	// A readme of the user's is there already: kept beside the new one.
	WriteHostFileText(fRoot + "/boot/apps/Tool/readme", "mine\n");
	std::string logCopy = fScratch / "copies/install.log";
	std::filesystem::create_directories(fScratch / "copies");

	ProgramRun run = Install(package, {"--log-copy", logCopy});
	ASSERT_FALSE(run.hung) << run.errors;
	ASSERT_EQ(run.status, 0) << run.errors;
	json report = Report();
	EXPECT_EQ(report["outcome"], "completed");
	EXPECT_EQ(report["exit status"], 0);
	EXPECT_TRUE(report["reason"].is_null());
	EXPECT_EQ(report["package"]["name"], "Tool");
	EXPECT_EQ(report["package"]["file"], package);
	EXPECT_EQ(report["package"]["signer"]["state"], "not signed");
	EXPECT_EQ(report["volume"], "boot");
	EXPECT_EQ(report["groups"], json::array({"All"}));

	json folder = ItemAt(report, "/boot/apps/Tool");
	EXPECT_EQ(folder["kind"], "folder");
	EXPECT_EQ(folder["action"], "rename existing");
	EXPECT_EQ(folder["renamed to"], "/boot/apps/Tool.old");
	EXPECT_EQ(ReadHostFileText(fRoot + "/boot/apps/Tool.old/readme"), "mine\n");
	EXPECT_EQ(ItemAt(report, "/boot/apps/Tool/readme")["kind"], "file");
	EXPECT_EQ(ItemAt(report, "/boot/apps/Tool/bin")["action"], "create");
	EXPECT_EQ(ItemAt(report, "/boot/apps/Tool/bin/tool")["action"], "create");
	EXPECT_EQ(ItemAt(report, "/boot/apps/Tool/latest")["kind"], "link");
	// The receipt's own folders are no item of the package.
	for (const json& item : report["items"])
		EXPECT_EQ(item["path"].get<std::string>().find("/boot/var"), std::string::npos) << item;

	json replace = QuestionOf(report, "replace");
	ASSERT_FALSE(replace.is_null()) << report.dump(1);
	EXPECT_EQ(replace["answer"], "rename existing");
	EXPECT_NE(replace["text"].get<std::string>().find("\"Tool\""), std::string::npos);

	// The log on the volume, and its copy, byte for byte.
	EXPECT_EQ(report["log"], "/boot/Tool Install Log");
	EXPECT_EQ(report["log copy"], logCopy);
	std::string log = ReadHostFileText(fRoot + "/boot/Tool Install Log");
	EXPECT_NE(log.find("readme"), std::string::npos);
	EXPECT_EQ(ReadHostFileText(logCopy), log);
	// Nothing of the atomic writes is left beside them.
	EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fScratch / "copies"),
		std::filesystem::directory_iterator()), 1);

	EXPECT_GE(report["timings"]["seconds"].get<double>(), 0.0);
	EXPECT_LE(report["timings"]["start"].get<std::string>(),
		report["timings"]["end"].get<std::string>());
}


TEST_F(RunReportTest, EveryWayARunStopsIsReportedWithTheExitStatusReturned)
{
	std::string package = Package();

	// The replace dialog answered with "Cancel Install".
	WriteHostFileText(fRoot + "/boot/apps/Tool/readme", "mine\n");
	ProgramRun cancelled = Install(package, {"--existing", "cancel"});
	ASSERT_FALSE(cancelled.hung) << cancelled.errors;
	EXPECT_EQ(cancelled.status, 1);
	json report = Report();
	EXPECT_EQ(report["outcome"], "cancelled") << report.dump(1);
	EXPECT_EQ(report["exit status"], 1);
	EXPECT_EQ(QuestionOf(report, "replace")["answer"], "cancel");
	EXPECT_EQ(ReadHostFileText(fRoot + "/boot/apps/Tool/readme"), "mine\n");
	std::filesystem::remove_all(fRoot + "/boot/apps");

	// A failing script stops the run: it failed there, and the log copy is
	// written all the same.
	std::string logCopy = fScratch / "failed.log";
	ProgramRun failed = Install(FailingScriptPackage(), {"--on-error", "cancel",
		"--log-copy", logCopy});
	ASSERT_FALSE(failed.hung) << failed.errors;
	EXPECT_EQ(failed.status, 1);
	report = Report();
	EXPECT_EQ(report["outcome"], "failed") << report.dump(1);
	EXPECT_EQ(report["exit status"], 1);
	EXPECT_EQ(report["reason"], "the script \"setup\" exited with status 3");
	json script = report["items"].back();
	EXPECT_EQ(script["path"], "/boot/apps/Tool/setup");
	EXPECT_EQ(script["kind"], "script");
	EXPECT_EQ(script["action"], "failed");
	EXPECT_EQ(script["reason"], "the script \"setup\" exited with status 3");
	json alert = QuestionOf(report, "alert");
	ASSERT_FALSE(alert.is_null()) << report.dump(1);
	EXPECT_EQ(alert["text"], "The installation stopped at \"setup\": the script \"setup\" "
		"exited with status 3");
	EXPECT_EQ(alert["choices"], json::array({"OK"}));
	EXPECT_EQ(alert["answer"], "OK");
	EXPECT_EQ(ReadHostFileText(logCopy), ReadHostFileText(fRoot + "/boot/Tool Install Log"));
}


TEST_F(RunReportTest, ARunThatNeverBeganIsReportedToo)
{
	// The agreement declined.
	ProgramRun declined = Install(Package(R"(, "agreement": {"text": "Be nice."})"));
	ASSERT_FALSE(declined.hung) << declined.errors;
	EXPECT_EQ(declined.status, 1);
	json report = Report();
	EXPECT_EQ(report["outcome"], "declined") << report.dump(1);
	EXPECT_EQ(report["exit status"], 1);
	EXPECT_EQ(QuestionOf(report, "agreement")["answer"], "Disagree");
	EXPECT_TRUE(report["items"].empty());
	EXPECT_TRUE(report["log"].is_null());

	// A file that is no package.
	std::string junk = fScratch / "junk.pkg";
	WriteHostFileText(junk, std::string(4096, 'j'));
	ProgramRun junkRun = Install(junk);
	ASSERT_FALSE(junkRun.hung) << junkRun.errors;
	EXPECT_EQ(junkRun.status, 1);
	report = Report();
	EXPECT_EQ(report["outcome"], "unopenable") << report.dump(1);
	EXPECT_EQ(report["exit status"], 1);
	EXPECT_FALSE(report["reason"].get<std::string>().empty());
	EXPECT_EQ(report["package"]["file"], junk);

	// No file at all.
	ProgramRun missing = Install(fScratch / "nowhere.pkg");
	EXPECT_EQ(missing.status, 1);
	report = Report();
	EXPECT_EQ(report["outcome"], "unopenable");
	EXPECT_EQ(report["reason"], "no such package");

	// A signature required, and none there: refused before anything is
	// shown, asked or written.
	ProgramRun refused = Install(Package(), {"--require-signature"});
	ASSERT_FALSE(refused.hung) << refused.errors;
	EXPECT_EQ(refused.status, 1);
	report = Report();
	EXPECT_EQ(report["outcome"], "unopenable") << report.dump(1);
	EXPECT_EQ(report["package"]["signer"]["state"], "not signed");
	EXPECT_NE(report["reason"].get<std::string>().find("A signature by a trusted key is "
		"required"), std::string::npos) << report.dump(1);
	EXPECT_FALSE(std::filesystem::exists(fRoot + "/boot/apps"));

	// A volume that is not there: the run is given up, and says why.
	ProgramRun noVolume = Install(Package(), {"--volume", "Elsewhere"});
	EXPECT_EQ(noVolume.status, 1);
	report = Report();
	EXPECT_EQ(report["outcome"], "failed");
	EXPECT_EQ(report["reason"], "there is no volume named \"Elsewhere\"");
}


TEST_F(RunReportTest, ProgressLinesAreWholeJsonAndTheirBytesReachTheTotal)
{
	std::string progress = fScratch / "progress.jsonl";
	ProgramRun run = InstallThroughShell(Package(), {"--progress-fd", "3"},
		"3>" + Quoted(progress));
	ASSERT_FALSE(run.hung) << run.errors;
	ASSERT_EQ(run.status, 0) << run.errors;
	std::vector<json> lines = ProgressLines(progress);
	ASSERT_GE(lines.size(), 3u);

	EXPECT_EQ(lines.front()["event"], "run start");
	int64 total = lines.front()["bytes"];
	EXPECT_GT(total, 50000);
	EXPECT_EQ(lines.back()["event"], "run end");
	EXPECT_EQ(lines.back()["outcome"], "completed");

	int64 done = 0;
	std::set<std::string> started;
	for (const json& line : lines) {
		if (line["event"] == "bytes") {
			EXPECT_GT(line["done"].get<int64>(), done) << line;
			done = line["done"];
			EXPECT_EQ(line["total"], total);
		} else if (line["event"] == "item start")
			started.insert(line["path"].get<std::string>());
	}
	EXPECT_EQ(done, total);
	// Every item of the package that the report names was started on the
	// lines ("/boot/apps" is a folder made on the way to it).
	json report = Report();
	EXPECT_EQ(report["bytes"]["done"], total);
	EXPECT_EQ(ItemAt(report, "/boot/apps")["action"], "create");
	for (const json& item : report["items"]) {
		std::string path = item["path"];
		if (path != "/boot/apps") {
			EXPECT_EQ(started.count(path), 1u) << item;
		}
	}
	EXPECT_EQ(started.size(), 5u);
}


TEST_F(RunReportTest, AProgressReaderThatGoesAwayHarmsNothing)
{
	std::string package = Package();
	// The reader takes the first line and closes its end.
	ProgramRun run = InstallThroughShell(package, {"--progress-fd", "3"},
		"3>&1 >/dev/null | head -n 1 > " + Quoted(fScratch / "first.txt"));
	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(Report()["outcome"], "completed");
	EXPECT_EQ(ReadHostFileText(fRoot + "/boot/apps/Tool/bin/tool"), std::string(50000, 't'));
	std::vector<json> first = ProgressLines(fScratch / "first.txt");
	ASSERT_EQ(first.size(), 1u);
	EXPECT_EQ(first[0]["event"], "run start");

	// A descriptor that is not open at all is said, and passed over.
	std::filesystem::remove_all(fRoot + "/boot/apps");
	ProgramRun closed = Install(package, {"--progress-fd", "9"});
	EXPECT_EQ(closed.status, 0) << closed.errors;
	EXPECT_NE(closed.errors.find("descriptor 9 is not open"), std::string::npos);
	EXPECT_EQ(Report()["outcome"], "completed");
}


TEST_F(RunReportTest, AReportThatCannotBeWrittenIsNoSuccess)
{
	fReport = fScratch / "no-such-folder/report.json";
	ProgramRun run = Install(Package());
	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.errors.find("the report cannot be written"), std::string::npos)
		<< run.errors;
	// The install itself is done.
	EXPECT_TRUE(std::filesystem::exists(fRoot + "/boot/apps/Tool/readme"));
}
