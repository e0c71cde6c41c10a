#ifndef _CHOICE_RECORDER_H
#define _CHOICE_RECORDER_H

// What the person at the windows chose, kept so that the same install can
// be replayed with nobody there: the agreement, the install window's
// volume, folder and groups as "Begin" started a run, and the answers to
// the questions runs asked. The windows and the install worker note their
// answers through the static Note functions, from any thread; they do
// nothing while no recorder is active, so that a run that keeps nothing
// pays nothing.

#include <SupportDefs.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// One question that may be asked many times (every existing item asks
// again): the answer, and whether every answer was the same. Answers that
// differed cannot be given back as one.
template<typename Value>
class UniformAnswer {
public:
	void Note(const Value& value)
	{
		if (!fValue.has_value())
			fValue = value;
		else if (*fValue != value)
			fMixed = true;
	}

	bool Asked() const { return fValue.has_value(); }
	bool Uniform() const { return fValue.has_value() && !fMixed; }
	// Meaningful when asked: the first answer.
	const Value& First() const { return *fValue; }

private:
	std::optional<Value> fValue;
	bool fMixed = false;
};

struct RecordedChoices {
	// Unset when the package has no agreement.
	std::optional<bool> acceptedAgreement;
	// Set when "Begin" started a run (the last one's choices).
	bool began = false;
	std::string volume;
	// Empty when the package lets nobody choose the folder: "apps",
	// "home", "home/Desktop", or an absolute path.
	std::string folder;
	// Empty when the window shows no groups.
	std::vector<std::string> groups;
	// The existing-item answers by their answer-file words: "replace",
	// "rename", "skip", "cancel".
	UniformAnswer<std::string> existing;
	// "continue" or "cancel" for an item that could not be installed.
	UniformAnswer<std::string> onError;
	// The index of the match chosen among several; -1: the chooser was
	// cancelled.
	UniformAnswer<int32> chosenMatch;
	UniformAnswer<bool> keptOriginals;
};

class ChoiceRecorder {
public:
	// From now on, every Note is kept (for the rest of the process).
	static void Start();
	static bool Active();

	// Called with the choices so far whenever a run ends, so that they are
	// kept even when the program is ended before its normal end.
	static void SetRunEndedHandler(std::function<void(const RecordedChoices&)> handler);

	static RecordedChoices Choices();

	static void NoteAgreement(bool accepted);
	static void NoteBegin(const std::string& volume, const std::string& folder,
		const std::vector<std::string>& groups);
	// The replace dialog's choice (kSkipItemChoice, kRenameExistingChoice,
	// kReplaceExistingChoice) or B_CANCELED.
	static void NoteReplaceAnswer(int32 choice);
	static void NoteErrorAnswer(bool goOn);
	static void NoteMatchChosen(int32 index);
	static void NoteKeptOriginals(bool kept);
	static void NoteRunEnded();

private:
	ChoiceRecorder() = default;

	// Null until Start; never destroyed afterwards, since window threads
	// may still note while the exit handlers run.
	static ChoiceRecorder* _Instance();
	template<typename Change>
	static void _Change(Change change);

	std::mutex fLock;
	RecordedChoices fChoices;
	std::function<void(const RecordedChoices&)> fRunEnded;
};

#endif // _CHOICE_RECORDER_H
