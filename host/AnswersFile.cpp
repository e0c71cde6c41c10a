#include "AnswersFile.h"

#include "AtomicOutput.h"
#include "InstallerOptions.h"

#include <Errors.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct AnswerKey {
	const char* key;
	const char* option;
	FileAnswer::kind type;
};

// In the order a written file lists them.
const AnswerKey kAnswerKeys[] = {
	{"accept_license", "--accept-license", FileAnswer::kFlag},
	{"volume", "--volume", FileAnswer::kText},
	{"folder", "--folder", FileAnswer::kText},
	{"groups", "--groups", FileAnswer::kList},
	{"existing", "--existing", FileAnswer::kText},
	{"on_error", "--on-error", FileAnswer::kText},
	{"keep_originals", "--keep-originals", FileAnswer::kFlag},
	{"choose", "--choose", FileAnswer::kNumber},
	{"trusted_keys", "--trusted-key", FileAnswer::kList},
	{"require_signature", "--require-signature", FileAnswer::kFlag}
};

const AnswerKey*
FindKey(const std::string& key)
{
	for (const AnswerKey& known : kAnswerKeys) {
		if (key == known.key)
			return &known;
	}
	return NULL;
}


// What a value of the key must be, for the message that refuses another.
const char*
ExpectedValue(FileAnswer::kind type)
{
	switch (type) {
		case FileAnswer::kText:
			return "a string that is not empty";
		case FileAnswer::kNumber:
			return "a whole number";
		case FileAnswer::kFlag:
			return "true or false";
		case FileAnswer::kList:
			return "a list of one or more strings that are not empty";
	}
	return "";
}


bool
IsWord(const nlohmann::ordered_json& value)
{
	return value.is_string() && !value.get<std::string>().empty();
}


// The value as its option's words; false when it is of the wrong type.
bool
ValueWords(const nlohmann::ordered_json& value, FileAnswer::kind type,
	std::vector<std::string>* words)
{
	switch (type) {
		case FileAnswer::kText:
			if (!IsWord(value))
				return false;
			words->push_back(value.get<std::string>());
			return true;
		case FileAnswer::kNumber:
			if (!value.is_number_integer())
				return false;
			words->push_back(value.dump());
			return true;
		case FileAnswer::kFlag:
			if (!value.is_boolean())
				return false;
			words->push_back(value.get<bool>() ? "true" : "false");
			return true;
		case FileAnswer::kList:
			if (!value.is_array() || value.empty())
				return false;
			for (const nlohmann::ordered_json& item : value) {
				if (!IsWord(item))
					return false;
				words->push_back(item.get<std::string>());
			}
			return true;
	}
	return false;
}


// The parser's message without its exception's id ("[json.exception...] ").
std::string
ParserMessage(const std::exception& exception)
{
	std::string message = exception.what();
	size_t end = message.find("] ");
	return end == std::string::npos ? message : message.substr(end + 2);
}


bool
ReadText(const std::string& path, std::string* text, std::string* error)
{
	std::ifstream file(path, std::ios::binary);
	if (!file) {
		*error = path + ": " + strerror(errno);
		return false;
	}
	std::ostringstream contents;
	contents << file.rdbuf();
	if (file.bad()) {
		*error = path + ": cannot be read";
		return false;
	}
	*text = contents.str();
	return true;
}


// Key files named relative to the answers file are found beside it,
// wherever the replay is started from.
void
AnchorPaths(const std::string& answersPath, std::vector<std::string>* paths)
{
	std::filesystem::path folder
		= std::filesystem::absolute(answersPath).parent_path();
	for (std::string& path : *paths) {
		if (!path.empty() && path[0] != '/')
			path = (folder / path).lexically_normal().string();
	}
}


// Leaves out a question whose answers cannot be given back as one.
template<typename Value>
bool
TakeUniform(const UniformAnswer<Value>& answer, const char* key,
	const char* replayed, std::vector<std::string>* notes)
{
	if (!answer.Asked())
		return false;
	if (answer.Uniform())
		return true;
	notes->push_back(std::string("its questions were answered in different ways: \"")
		+ key + "\" is left out, and the replay answers " + replayed);
	return false;
}

} // namespace


bool
AnswersFile::Read(const std::string& path, std::vector<FileAnswer>* answers,
	std::string* error)
{
	std::string text;
	if (!ReadText(path, &text, error))
		return false;
	nlohmann::ordered_json file;
	try {
		file = nlohmann::ordered_json::parse(text);
	} catch (const nlohmann::ordered_json::parse_error& exception) {
		*error = path + ": not JSON: " + ParserMessage(exception);
		return false;
	}
	if (!file.is_object()) {
		*error = path + ": not a JSON object of answers";
		return false;
	}
	for (auto entry = file.begin(); entry != file.end(); ++entry) {
		const AnswerKey* known = FindKey(entry.key());
		if (known == NULL) {
			*error = path + ": unknown key \"" + entry.key() + "\"";
			return false;
		}
		FileAnswer answer{known->key, known->option, known->type, {}};
		if (!ValueWords(entry.value(), known->type, &answer.words)) {
			*error = path + ": \"" + entry.key() + "\" takes "
				+ ExpectedValue(known->type);
			return false;
		}
		if (answer.key == "trusted_keys")
			AnchorPaths(path, &answer.words);
		answers->push_back(answer);
	}
	return true;
}


nlohmann::ordered_json
AnswersFile::Compose(const RecordedChoices& choices, const InstallerOptions& options,
	std::vector<std::string>* notes)
{
	nlohmann::ordered_json answers = nlohmann::ordered_json::object();
	if (choices.acceptedAgreement.has_value())
		answers["accept_license"] = *choices.acceptedAgreement;
	if (choices.began) {
		answers["volume"] = choices.volume;
		if (!choices.folder.empty())
			answers["folder"] = choices.folder;
		if (!choices.groups.empty())
			answers["groups"] = choices.groups;
	}
	if (TakeUniform(choices.existing, "existing", "rename", notes))
		answers["existing"] = choices.existing.First();
	if (TakeUniform(choices.onError, "on_error", "cancel", notes))
		answers["on_error"] = choices.onError.First();
	if (TakeUniform(choices.keptOriginals, "keep_originals", "delete the originals",
			notes))
		answers["keep_originals"] = choices.keptOriginals.First();
	if (TakeUniform(choices.chosenMatch, "choose", "the first match", notes)) {
		if (choices.chosenMatch.First() >= 0)
			answers["choose"] = choices.chosenMatch.First();
		else {
			notes->push_back("the chooser of several matches was cancelled, which "
				"no answer stands for: \"choose\" is left out, and the replay "
				"installs into the first match");
		}
	}
	if (!options.fTrustedKeys.empty()) {
		std::vector<std::string> keys;
		for (const std::string& key : options.fTrustedKeys)
			keys.push_back(std::filesystem::absolute(key).lexically_normal().string());
		answers["trusted_keys"] = keys;
	}
	if (options.fRequireSignature)
		answers["require_signature"] = true;
	return answers;
}


status_t
AnswersFile::Write(const std::string& path, const nlohmann::ordered_json& answers,
	std::string* error)
{
	AtomicOutput output;
	status_t status = output.SetTo(path.c_str(), error);
	if (status != B_OK)
		return status;
	std::string text = answers.dump(2) + "\n";
	status = output.File()->WriteFully(text.data(), text.size());
	if (status != B_OK) {
		*error = path + ": " + strerror_status(status);
		return status;
	}
	return output.Commit(0644, error);
}


bool
AnswersFile::CanWrite(const std::string& path, std::string* error)
{
	AtomicOutput trial;
	return trial.SetTo(path.c_str(), error) == B_OK;
}
