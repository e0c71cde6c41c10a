#ifndef _RUN_RECORDER_H
#define _RUN_RECORDER_H

// What the program tells machines about its run, from the run's events
// (RunObserver): the progress lines while it runs (--progress-fd), and at
// its end, whatever the end, the report (--report) and a copy of the
// install log (--log-copy). All three read the same events, kept here.
//
// The report describes the program's last install run (items, bytes, log)
// and every alert and question of the program's life with its answer.

#include "RunObserver.h"

#include <OS.h>
#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ProgressStream;

// How the program ended, as only its end knows it.
struct ProgramEnd {
	// "completed", "cancelled", "failed", "declined" or "unopenable".
	std::string fOutcome;
	std::string fReason;
	int fExitStatus = 1;
	// The package file named, or the program's own.
	std::string fPackageFile;
	std::string fPackageName;
	// As InstallApp says it; empty: the signature was never checked.
	std::string fSignatureState;
	std::string fSignerKeyId;
	std::string fSignerName;
};

class RunRecorder : public RunObserver {
public:
	// Empty paths and a negative descriptor: that output is not wanted.
	RunRecorder(const std::string& reportPath, int progressFD,
		const std::string& logCopyPath);
	~RunRecorder() override;

	void RunStarted(const RunStart& start) override;
	void ItemStarted(const std::string& path, const char* kind) override;
	void ItemEnded(const RunItem& item) override;
	void ItemFailed(const std::string& name, const std::string& reason) override;
	void BytesDone(int64 bytes) override;
	void Asked(const RunQuestion& question) override;
	void RunEnded(const InstallOutcome& outcome) override;

	// The outcome name of an install run's end.
	static const char* OutcomeName(const InstallOutcome& outcome);
	// Whether a run ended, and how (the last one).
	bool GetLastOutcome(InstallOutcome* outcome) const;
	// The text of the last alert shown; empty when none was.
	std::string LastAlertText() const;

	// Tells the end on the progress lines, when no run's end told it,
	// writes the log copy and the report, and closes the progress lines.
	// The exit status to return: `end`'s, or 1 when an output asked for
	// could not be written (said on standard error).
	int Finish(ProgramEnd end);

private:
	nlohmann::json _Report(const ProgramEnd& end, const std::string& logCopy) const;
	void _Line(const nlohmann::json& line);
	void _BytesLine(bool force);
	// Copies the install log, when a run wrote one, into `copied`; false
	// (said) when it cannot be.
	bool _CopyLog(std::string* copied);
	bool _WriteReport(const ProgramEnd& end, const std::string& logCopy);

	std::string fReportPath;
	std::string fLogCopyPath;
	std::unique_ptr<ProgressStream> fProgress;

	mutable std::mutex fLock;
	int64 fStartSeconds;
	bigtime_t fStartTime;
	bool fRunStarted;
	RunStart fRun;
	std::vector<RunItem> fItems;
	std::string fCurrentPath;
	std::string fCurrentKind;
	int64 fBytesDone;
	int64 fBytesTold;
	bigtime_t fBytesToldAt;
	std::vector<RunQuestion> fQuestions;
	bool fRunEnded;
	InstallOutcome fOutcome;
};

#endif // _RUN_RECORDER_H
