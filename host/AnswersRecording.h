#ifndef _ANSWERS_RECORDING_H
#define _ANSWERS_RECORDING_H

// --save-answers: the choices made in the windows are recorded for the whole
// program and written as an answers file whenever a run ends and once more
// at the end, whole or not at all, so that a cancelled run or a program
// ended after its run still leaves the choices made so far.

#include "ChoiceRecorder.h"
#include "InstallerOptions.h"

class AnswersRecording {
public:
	// Before the first window. False, having said why, when no file can be
	// written where the options ask for one.
	static bool Start(const InstallerOptions& options);
	// After the last window. Says what the file leaves out; false, having
	// said why, when it could not be written.
	static bool Finish(const InstallerOptions& options);

private:
	static bool _Save(const InstallerOptions& options,
		const RecordedChoices& choices, bool tell);
};

#endif // _ANSWERS_RECORDING_H
