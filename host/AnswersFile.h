#ifndef _ANSWERS_FILE_H
#define _ANSWERS_FILE_H

// The answers file: an unattended run's answers as one JSON object, under
// the names of the options that give them (docs/answers.md):
//
//   {"volume": "Data", "folder": "home", "groups": ["Docs"],
//    "accept_license": true, "existing": "replace", "on_error": "cancel",
//    "keep_originals": false, "choose": 1,
//    "trusted_keys": ["keys/vendor.pub"], "require_signature": true}
//
// Read gives each answer as the words its option would take on the command
// line, so that the options check them as they check their own. Compose
// makes the file from what a person chose in the windows.

#include "ChoiceRecorder.h"

#include <SupportDefs.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

class InstallerOptions;

struct FileAnswer {
	enum kind {
		kText,
		kNumber,
		kFlag,
		kList
	};

	std::string key;
	// The command-line option that gives the same answer ("--on-error").
	std::string option;
	kind type;
	// kText, kNumber: one word; kFlag: "true" or "false"; kList: the
	// names or paths, at least one.
	std::vector<std::string> words;
};

class AnswersFile {
public:
	// The answers of the file at `path`, in the file's order. False with
	// `error` naming the file (and the key) when it cannot be read, is no
	// JSON object, or has an unknown key or a value of the wrong type.
	// Relative key paths are taken from the file's folder.
	static bool Read(const std::string& path, std::vector<FileAnswer>* answers,
		std::string* error);

	// The file that replays `choices` unattended, with the signature
	// policy of `options` (the keys as absolute paths). A question answered
	// in different ways, or in a way no answer stands for, is left out, and
	// `notes` says so and what the replay will answer instead.
	static nlohmann::ordered_json Compose(const RecordedChoices& choices,
		const InstallerOptions& options, std::vector<std::string>* notes);

	// Writes `answers` to `path` whole or not at all: the old file, if
	// any, stays until the new one is complete on disk.
	static status_t Write(const std::string& path,
		const nlohmann::ordered_json& answers, std::string* error);

	// Whether a file can be made beside `path` (its folder exists and may
	// be written); `error` says why not.
	static bool CanWrite(const std::string& path, std::string* error);
};

#endif // _ANSWERS_FILE_H
