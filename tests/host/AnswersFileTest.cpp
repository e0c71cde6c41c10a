// The answers file: read into the options under the command line's own,
// refused with the file and the key named, and made from a person's
// choices so that reading it back gives the same answers.

#include "AnswersFile.h"
#include "InstallerOptions.h"

#include <HostFileText.h>
#include <ScratchDir.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

InstallerOptions::parse_result
ParseArguments(InstallerOptions& options, std::vector<std::string> arguments)
{
	std::vector<const char*> words;
	for (const std::string& argument : arguments)
		words.push_back(argument.c_str());
	return options.Parse((int)words.size(), words.data());
}

} // namespace


class AnswersFileTest : public ::testing::Test {
protected:
	std::string WriteAnswers(const std::string& contents,
		const std::string& name = "answers.json")
	{
		std::string path = fScratch / name;
		WriteHostFileText(path, contents);
		return path;
	}

	ScratchDir fScratch;
};


TEST_F(AnswersFileTest, EveryAnswerIsReadUnderItsOptionsName)
{
	std::string path = WriteAnswers(R"({"volume": "Data", "folder": "/Data/tools",
		"groups": ["Full, with docs", "Docs"], "accept_license": true,
		"existing": "skip", "on_error": "continue", "keep_originals": true,
		"choose": 2, "trusted_keys": ["keys/vendor.pub", "/etc/other.pub"],
		"require_signature": true})");
	InstallerOptions options;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(options,
		{"--unattended", "--answers", path, "pkg.pkg"})) << options.ErrorText();
	EXPECT_EQ("Data", options.fVolume);
	EXPECT_EQ("/Data/tools", options.fFolder);
	// A list in the file: a comma is part of a name there.
	EXPECT_EQ((std::vector<std::string>{"Full, with docs", "Docs"}), options.fGroups);
	EXPECT_TRUE(options.fAcceptLicense);
	EXPECT_EQ(kExistingSkip, options.fExisting);
	EXPECT_TRUE(options.fContinueOnError);
	EXPECT_TRUE(options.fKeepOriginals);
	EXPECT_EQ(2, options.fChoose);
	// A relative key file is the one beside the answers file, wherever the
	// program is started.
	EXPECT_EQ((std::vector<std::string>{fScratch / "keys/vendor.pub", "/etc/other.pub"}),
		options.fTrustedKeys);
	EXPECT_TRUE(options.fRequireSignature);
}


TEST_F(AnswersFileTest, TheCommandLineWinsWhereverItsOptionsStand)
{
	std::string path = WriteAnswers(R"({"volume": "Data", "existing": "skip",
		"accept_license": false, "keep_originals": true, "groups": ["Docs"],
		"trusted_keys": ["file.pub"], "choose": 3})");
	for (bool answersFirst : {true, false}) {
		std::vector<std::string> given = {"--volume", "Other", "--existing=replace",
			"--accept-license", "--trusted-key", "cli.pub"};
		std::vector<std::string> file = {"--answers", path};
		std::vector<std::string> arguments = answersFirst ? file : given;
		const std::vector<std::string>& rest = answersFirst ? given : file;
		arguments.insert(arguments.end(), rest.begin(), rest.end());
		InstallerOptions options;
		ASSERT_EQ(InstallerOptions::kRun, ParseArguments(options, arguments))
			<< options.ErrorText();
		SCOPED_TRACE(answersFirst ? "--answers first" : "--answers last");
		EXPECT_EQ("Other", options.fVolume);
		EXPECT_EQ(kExistingReplace, options.fExisting);
		EXPECT_TRUE(options.fAcceptLicense);
		// A list on the command line replaces the file's, not adds to it.
		EXPECT_EQ(std::vector<std::string>{"cli.pub"}, options.fTrustedKeys);
		// What the command line leaves is the file's, false included.
		EXPECT_TRUE(options.fKeepOriginals);
		EXPECT_EQ(std::vector<std::string>{"Docs"}, options.fGroups);
		EXPECT_EQ(3, options.fChoose);
	}

	// A flag the file sets to false leaves the default; true sets it.
	InstallerOptions declined;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(declined, {"--answers", path}));
	EXPECT_FALSE(declined.fAcceptLicense);
	EXPECT_EQ(kExistingSkip, declined.fExisting);
}


TEST_F(AnswersFileTest, MistakesAreUsageErrorsNamingTheFileAndTheKey)
{
	struct Case {
		std::string contents;
		std::string said;
	};
	const std::vector<Case> cases = {
		{R"({"volume": "Data", "colour": "red"})", "unknown key \"colour\""},
		{R"({"choose": "2"})", "\"choose\" takes a whole number"},
		{R"({"choose": 1.5})", "\"choose\" takes a whole number"},
		{R"({"choose": -1})", "\"choose\": --choose takes a match number from 0, not -1"},
		{R"({"existing": "overwrite"})", "\"existing\": --existing takes replace, "
			"rename, skip or cancel, not overwrite"},
		{R"({"on_error": "ignore"})", "\"on_error\": --on-error takes continue or cancel"},
		{R"({"folder": "apps/../.."})", "\"folder\": --folder takes a path without"},
		{R"({"volume": ""})", "\"volume\" takes a string that is not empty"},
		{R"({"volume": null})", "\"volume\" takes a string that is not empty"},
		{R"({"accept_license": "yes"})", "\"accept_license\" takes true or false"},
		{R"({"groups": "Docs"})", "\"groups\" takes a list of one or more strings"},
		{R"({"groups": []})", "\"groups\" takes a list of one or more strings"},
		{R"({"groups": ["Docs", 2]})", "\"groups\" takes a list of one or more strings"},
		{R"({"trusted_keys": [""]})", "\"trusted_keys\" takes a list of one or more"},
		{R"(["volume", "Data"])", "not a JSON object of answers"},
		{R"({"volume": "Data",)", "not JSON: "},
		{"", "not JSON: "},
	};
	for (const Case& wrong : cases) {
		SCOPED_TRACE(wrong.contents);
		std::string path = WriteAnswers(wrong.contents);
		InstallerOptions options;
		EXPECT_EQ(InstallerOptions::kUsageError,
			ParseArguments(options, {"--unattended", "--answers", path}));
		EXPECT_EQ(0u, options.ErrorText().find(path + ": ")) << options.ErrorText();
		EXPECT_NE(std::string::npos, options.ErrorText().find(wrong.said))
			<< options.ErrorText();
	}

	// Overridden on the command line or not, a wrong answer is told.
	std::string path = WriteAnswers(R"({"existing": "overwrite"})");
	InstallerOptions overridden;
	EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(overridden,
		{"--existing", "skip", "--answers", path}));

	InstallerOptions missing;
	EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(missing,
		{"--answers", fScratch / "none.json"}));
	EXPECT_EQ(fScratch / "none.json: No such file or directory", missing.ErrorText());

	InstallerOptions noValue;
	EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(noValue, {"--save-answers"}));
	EXPECT_EQ("--save-answers needs a value", noValue.ErrorText());
	// Nothing is asked that could be saved.
	for (const char* command : {"--list-installed", "--recover"}) {
		InstallerOptions noInstall;
		EXPECT_EQ(InstallerOptions::kUsageError, ParseArguments(noInstall,
			{command, "--save-answers", fScratch / "a.json"}));
		EXPECT_EQ("--save-answers goes with an install", noInstall.ErrorText());
	}
}


// What a person chose becomes the file that gives the same answers back; a
// question answered in different ways, or cancelled, is left out and said.
TEST_F(AnswersFileTest, ChoicesBecomeAFileThatReadsBackAsTheSameAnswers)
{
	RecordedChoices choices;
	choices.acceptedAgreement = true;
	choices.began = true;
	choices.volume = "Data";
	choices.folder = "home/Desktop";
	choices.groups = {"Program", "Docs"};
	choices.existing.Note("replace");
	choices.existing.Note("replace");
	choices.onError.Note("continue");
	choices.onError.Note("cancel");
	choices.keptOriginals.Note(true);
	choices.chosenMatch.Note(1);
	InstallerOptions run;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(run,
		{"--trusted-key", "relative.pub", "--require-signature"}));

	std::vector<std::string> notes;
	nlohmann::ordered_json answers = AnswersFile::Compose(choices, run, &notes);
	EXPECT_FALSE(answers.contains("on_error")) << answers.dump();
	ASSERT_EQ(1u, notes.size());
	EXPECT_NE(std::string::npos, notes[0].find("\"on_error\" is left out")) << notes[0];
	EXPECT_EQ((std::filesystem::current_path() / "relative.pub").string(),
		answers["trusted_keys"][0].get<std::string>());

	std::string path = fScratch / "saved.json";
	std::string error;
	ASSERT_EQ(B_OK, AnswersFile::Write(path, answers, &error)) << error;
	InstallerOptions replay;
	ASSERT_EQ(InstallerOptions::kRun, ParseArguments(replay,
		{"--unattended", "--answers", path})) << replay.ErrorText();
	EXPECT_TRUE(replay.fAcceptLicense);
	EXPECT_EQ("Data", replay.fVolume);
	EXPECT_EQ("home/Desktop", replay.fFolder);
	EXPECT_EQ(choices.groups, replay.fGroups);
	EXPECT_EQ(kExistingReplace, replay.fExisting);
	EXPECT_FALSE(replay.fContinueOnError);
	EXPECT_TRUE(replay.fKeepOriginals);
	EXPECT_EQ(1, replay.fChoose);
	EXPECT_EQ(std::vector<std::string>{
		(std::filesystem::current_path() / "relative.pub").string()}, replay.fTrustedKeys);
	EXPECT_TRUE(replay.fRequireSignature);

	// A cancelled chooser, and a run that never began: only what was
	// answered is kept.
	RecordedChoices cancelled;
	cancelled.acceptedAgreement = false;
	cancelled.chosenMatch.Note(-1);
	notes.clear();
	answers = AnswersFile::Compose(cancelled, InstallerOptions(), &notes);
	EXPECT_EQ(R"({"accept_license":false})", answers.dump());
	ASSERT_EQ(1u, notes.size());
	EXPECT_NE(std::string::npos, notes[0].find("\"choose\" is left out")) << notes[0];
}


TEST_F(AnswersFileTest, AFileIsWrittenWholeOrNotAtAll)
{
	std::string path = WriteAnswers("old answers", "kept.json");
	std::string error;
	// Nowhere to write: the old file stays as it was, and nothing is left
	// beside it.
	EXPECT_FALSE(AnswersFile::CanWrite(fScratch / "no/such/folder.json", &error));
	EXPECT_NE(std::string::npos, error.find("No such file or directory")) << error;
	EXPECT_NE(B_OK, AnswersFile::Write(fScratch / "no/such/folder.json",
		nlohmann::ordered_json::object(), &error));

	ASSERT_TRUE(AnswersFile::CanWrite(path, &error)) << error;
	ASSERT_EQ(B_OK, AnswersFile::Write(path, {{"volume", "Data"}}, &error)) << error;
	EXPECT_EQ(R"({"volume":"Data"})", nlohmann::json::parse(ReadHostFileText(path)).dump());
	int entries = 0;
	for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(fScratch.Path()))
		entries++;
	EXPECT_EQ(1, entries);
}
