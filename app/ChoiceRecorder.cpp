#include "ChoiceRecorder.h"

#include "ExistingItems.h"

#include <atomic>

namespace {

std::atomic<ChoiceRecorder*> sRecorder{NULL};

const char*
ReplaceAnswerWord(int32 choice)
{
	switch (choice) {
		case kReplaceExistingChoice:
			return "replace";
		case kRenameExistingChoice:
			return "rename";
		case kSkipItemChoice:
			return "skip";
		default:
			return "cancel";
	}
}

} // namespace


void
ChoiceRecorder::Start()
{
	if (sRecorder.load() == NULL)
		sRecorder.store(new ChoiceRecorder);
}


bool
ChoiceRecorder::Active()
{
	return sRecorder.load() != NULL;
}


ChoiceRecorder*
ChoiceRecorder::_Instance()
{
	return sRecorder.load();
}


template<typename Change>
void
ChoiceRecorder::_Change(Change change)
{
	ChoiceRecorder* recorder = _Instance();
	if (recorder == NULL)
		return;
	std::lock_guard<std::mutex> guard(recorder->fLock);
	change(recorder->fChoices);
}


void
ChoiceRecorder::SetRunEndedHandler(std::function<void(const RecordedChoices&)> handler)
{
	ChoiceRecorder* recorder = _Instance();
	if (recorder == NULL)
		return;
	std::lock_guard<std::mutex> guard(recorder->fLock);
	recorder->fRunEnded = handler;
}


RecordedChoices
ChoiceRecorder::Choices()
{
	RecordedChoices choices;
	_Change([&](RecordedChoices& kept) { choices = kept; });
	return choices;
}


void
ChoiceRecorder::NoteAgreement(bool accepted)
{
	_Change([&](RecordedChoices& kept) { kept.acceptedAgreement = accepted; });
}


void
ChoiceRecorder::NoteBegin(const std::string& volume, const std::string& folder,
	const std::vector<std::string>& groups)
{
	_Change([&](RecordedChoices& kept) {
		kept.began = true;
		kept.volume = volume;
		kept.folder = folder;
		kept.groups = groups;
	});
}


void
ChoiceRecorder::NoteReplaceAnswer(int32 choice)
{
	_Change([&](RecordedChoices& kept) { kept.existing.Note(ReplaceAnswerWord(choice)); });
}


void
ChoiceRecorder::NoteErrorAnswer(bool goOn)
{
	_Change([&](RecordedChoices& kept) { kept.onError.Note(goOn ? "continue" : "cancel"); });
}


void
ChoiceRecorder::NoteMatchChosen(int32 index)
{
	_Change([&](RecordedChoices& kept) { kept.chosenMatch.Note(index); });
}


void
ChoiceRecorder::NoteKeptOriginals(bool kept)
{
	_Change([&](RecordedChoices& choices) { choices.keptOriginals.Note(kept); });
}


// The handler runs outside the lock: it may take its time writing.
void
ChoiceRecorder::NoteRunEnded()
{
	ChoiceRecorder* recorder = _Instance();
	if (recorder == NULL)
		return;
	RecordedChoices choices;
	std::function<void(const RecordedChoices&)> handler;
	{
		std::lock_guard<std::mutex> guard(recorder->fLock);
		choices = recorder->fChoices;
		handler = recorder->fRunEnded;
	}
	if (handler)
		handler(choices);
}
