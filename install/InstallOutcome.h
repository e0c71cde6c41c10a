#ifndef _INSTALL_OUTCOME_H
#define _INSTALL_OUTCOME_H

// How an install run ended. The install worker puts it in its 'Done' to the
// install window ("outcome", and for a failed run "item" and "reason"); the
// application keeps the last one, and the program's exit status and the
// unattended transcript are read from it, never from an alert's text.

#include <SupportDefs.h>

#include <string>

class BMessage;

enum install_outcome {
	// Every selected item was installed.
	kRunCompleted = 0,
	// "Cancel" in the progress window or the replace dialog, or a signal.
	kRunCancelled = 1,
	// An item could not be installed: the item names it, the reason says
	// why; the run stopped there, or passed it over after "Continue" and
	// went on to its end (the last such item is named).
	kRunFailed = 2,
	// The run stopped before anything was extracted (it could not begin,
	// the originals of its patches were missing or not confirmed); the
	// reason, when there is one, is what the run was told.
	kRunNotStarted = 3
};

class InstallOutcome {
public:
	InstallOutcome();
	InstallOutcome(install_outcome code, const std::string& item = std::string(),
		const std::string& reason = std::string(), bool wentOn = false);

	install_outcome Code() const { return fCode; }
	const std::string& Item() const { return fItem; }
	const std::string& Reason() const { return fReason; }
	// A failed run that went on past the item to its end.
	bool WentOn() const { return fWentOn; }

	void AddTo(BMessage* message) const;
	// False (and nothing changed) when the message carries no outcome.
	bool SetFrom(const BMessage* message);

	static const char* const kOutcomeField;
	static const char* const kItemField;
	static const char* const kReasonField;
	static const char* const kWentOnField;

private:
	install_outcome fCode;
	std::string fItem;
	std::string fReason;
	bool fWentOn;
};

#endif // _INSTALL_OUTCOME_H
