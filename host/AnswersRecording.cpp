#include "AnswersRecording.h"

#include "AnswersFile.h"
#include "ChoiceRecorder.h"

#include <cstdio>
#include <string>
#include <vector>

bool
AnswersRecording::Start(const InstallerOptions& options)
{
	std::string error;
	if (!AnswersFile::CanWrite(options.fSaveAnswersFile, &error)) {
		fprintf(stderr, "kestrovan-installer: --save-answers: %s\n", error.c_str());
		return false;
	}
	ChoiceRecorder::Start();
	// The options are copied: the handler may run on a window's thread
	// after the caller's copy is gone.
	ChoiceRecorder::SetRunEndedHandler([options](const RecordedChoices& choices) {
		_Save(options, choices, false);
	});
	return true;
}


bool
AnswersRecording::Finish(const InstallerOptions& options)
{
	ChoiceRecorder::SetRunEndedHandler(NULL);
	return _Save(options, ChoiceRecorder::Choices(), true);
}


bool
AnswersRecording::_Save(const InstallerOptions& options, const RecordedChoices& choices,
	bool tell)
{
	std::vector<std::string> notes;
	nlohmann::ordered_json answers = AnswersFile::Compose(choices, options, &notes);
	std::string error;
	if (AnswersFile::Write(options.fSaveAnswersFile, answers, &error) != B_OK) {
		fprintf(stderr, "kestrovan-installer: the answers were not saved: %s\n",
			error.c_str());
		return false;
	}
	for (size_t i = 0; tell && i < notes.size(); i++) {
		fprintf(stderr, "kestrovan-installer: %s: %s\n",
			options.fSaveAnswersFile.c_str(), notes[i].c_str());
	}
	return true;
}
