#ifndef _UNATTENDED_DRIVER_H
#define _UNATTENDED_DRIVER_H

// Answers the installer's windows when nobody is at them: the agreement, the
// install window's volume, folder and groups and its "Begin", every alert,
// the replace dialog, the patch window and the results chooser, each from
// the command line's options, through the display's real input path. Every
// question it answers is written on standard error with the answer given.
// It can also keep a picture of each window as it appears and changes.

#include "InstallerOptions.h"

#include <DisplayBackend.h>
#include <SupportDefs.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

class BWindow;

class UnattendedDriver {
public:
	// `answer`: answer the windows (unattended); otherwise only take the
	// screenshots the options ask for.
	UnattendedDriver(const InstallerOptions& options, bool answer);
	~UnattendedDriver();

	void Start();
	// Ends the driver's thread (after the application's loop has ended).
	void Stop();

	// 0 when the application saw the last run complete (`runCompleted`:
	// every item installed) and no answer stopped it, otherwise 1: nothing
	// was installed, or the run stopped, failed, passed over items it could
	// not install, or was cancelled. What ended a run that did not complete
	// is said on standard error, once. Called before the application goes.
	int ExitStatus(bool runCompleted);
	// An answer ended the program's work (the agreement declined, an
	// item's failure answered with "Cancel", no such match to choose).
	bool Stopped() const { return fStopped; }
	// Why the driver gave up on the install window (no such volume,
	// folder or group ...); empty when it did not.
	std::string GaveUpReason() const;

private:
	enum window_kind {
		kOtherWindow,
		kAgreementWindow,
		kInstallWindow,
		kAlertWindow,
		kReplaceDialog,
		kPatchWindow,
		kChooserWindow,
		kFilePanel
	};

	void _Run();
	void _Visit(const BPrivate::DisplayWindowInfo& info);
	window_kind _Classify(const BPrivate::DisplayWindowInfo& info) const;

	void _AnswerAgreement(int32 window);
	void _VisitAlert(const BPrivate::DisplayWindowInfo& info);
	bool _IsShown(int32 window) const;
	void _AnswerAlert(const BPrivate::DisplayWindowInfo& info);
	void _AnswerReplace(int32 window, const BPrivate::DisplayWindowInfo& info);
	void _AnswerPatches(const BPrivate::DisplayWindowInfo& info);
	void _AnswerChooser(const BPrivate::DisplayWindowInfo& info);

	// The install window: set it up and press "Begin" once; then notice
	// when the run is over without the closing question.
	void _DriveInstallWindow(const BPrivate::DisplayWindowInfo& info);
	void _SetUpAndBegin(const BPrivate::DisplayWindowInfo& info);
	// Answers the alerts the install window opened until it is settled;
	// false (after giving up) when it does not settle.
	bool _SettleInstallWindow(int32 window);
	std::string _RefusedVolume(const BPrivate::DisplayWindowInfo& info);
	bool _BeginIsOffered(const BPrivate::DisplayWindowInfo& info);
	bool _ChooseVolume(int32 window);
	bool _ChooseFolder(int32 window);
	bool _ChooseOtherFolder(int32 window, const std::string& path);
	// A plan makes no folder: one that is missing is set as the window's
	// folder on its volume, where the run would make it.
	bool _PlanMissingFolder(int32 window, const std::string& path);
	bool _ChooseGroups(const BPrivate::DisplayWindowInfo& info);
	void _PicturePackageHelp(int32 window);
	void _GiveUp(int32 window, const char* why);
	std::string _LastRunOutcome() const;

	void _TakeScreenshots();
	std::string _PictureName(const BPrivate::DisplayWindowInfo& info) const;

	InstallerOptions fOptions;
	bool fAnswer;
	std::atomic<bool> fRunning;
	std::thread fThread;

	// Windows answered (alerts: whose answer has been said).
	std::set<int32> fAnswered;
	int32 fInstallWindow;
	bool fBeginPressed;
	bool fGaveUp;
	std::string fGaveUpReason;
	mutable std::mutex fReasonLock;
	// The volume "Begin" was pressed on although the window refuses it.
	std::string fRefusedVolume;
	std::atomic<bool> fFinished;
	std::atomic<bool> fStopped;

	// Screenshots: the last picture's checksum and time per window.
	std::map<int32, uint64> fPictureSums;
	std::map<int32, bigtime_t> fPictureTimes;
	int32 fPictureCount;
};

#endif // _UNATTENDED_DRIVER_H
