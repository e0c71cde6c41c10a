#include "RunRecorder.h"

#include "AtomicOutput.h"
#include "InstallReceipt.h"
#include "ProgressStream.h"

#include <Errors.h>
#include <File.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>

using nlohmann::json;

namespace {

// Bytes lines come at most this often.
const bigtime_t kBytesInterval = 100000;
// How long the end waits for a slow reader of the progress lines.
const bigtime_t kProgressDrainWait = 2000000;

json
TextOrNull(const std::string& text)
{
	return text.empty() ? json(nullptr) : json(text);
}


json
ItemJson(const RunItem& item)
{
	json entry = { { "path", item.fPath }, { "kind", item.fKind },
		{ "action", item.fAction } };
	if (!item.fRenamedTo.empty())
		entry["renamed to"] = item.fRenamedTo;
	if (!item.fOriginal.empty())
		entry["original"] = item.fOriginal;
	if (!item.fReason.empty())
		entry["reason"] = item.fReason;
	return entry;
}


json
QuestionJson(const RunQuestion& question)
{
	return { { "kind", question.fKind }, { "text", question.fText },
		{ "choices", question.fChoices }, { "answer", question.fAnswer } };
}


// `text` as the host file `path`, whole or not at all: a file beside it,
// flushed, then renamed over it. False with `error` said otherwise.
bool
WriteAtomically(const std::string& path, const std::string& text, std::string* error)
{
	AtomicOutput output;
	status_t status = output.SetTo(path.c_str(), error);
	if (status == B_OK)
		status = output.File()->WriteFully(text.data(), text.size());
	if (status == B_OK)
		status = output.Commit(0644, error);
	if (status != B_OK && error->empty())
		*error = path + ": " + strerror_status(status);
	return status == B_OK;
}


std::string
BaseName(const std::string& path)
{
	size_t slash = path.rfind('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace


RunRecorder::RunRecorder(const std::string& reportPath, int progressFD,
	const std::string& logCopyPath)
	:
	fReportPath(reportPath),
	fLogCopyPath(logCopyPath),
	fStartSeconds((int64)time(NULL)),
	fStartTime(system_time()),
	fRunStarted(false),
	fBytesDone(0),
	fBytesTold(0),
	fBytesToldAt(0),
	fRunEnded(false)
{
	if (progressFD >= 0)
		fProgress.reset(new ProgressStream(progressFD));
}


RunRecorder::~RunRecorder()
{
	if (fProgress)
		fProgress->Close(0);
}


void
RunRecorder::RunStarted(const RunStart& start)
{
	std::lock_guard<std::mutex> guard(fLock);
	fRunStarted = true;
	fRun = start;
	fItems.clear();
	fCurrentPath.clear();
	fCurrentKind.clear();
	fBytesDone = 0;
	fBytesTold = 0;
	fBytesToldAt = 0;
	_Line({ { "event", "run start" }, { "package", start.fPackageName },
		{ "volume", start.fVolume }, { "folder", TextOrNull(start.fInstallFolder) },
		{ "items", start.fItemCount }, { "bytes", start.fBytes } });
}


void
RunRecorder::ItemStarted(const std::string& path, const char* kind)
{
	std::lock_guard<std::mutex> guard(fLock);
	fCurrentPath = path;
	fCurrentKind = kind != NULL ? kind : "";
	_Line({ { "event", "item start" }, { "path", path }, { "kind", fCurrentKind } });
}


void
RunRecorder::ItemEnded(const RunItem& item)
{
	std::lock_guard<std::mutex> guard(fLock);
	fItems.push_back(item);
}


// The failure names the item by its name alone: it is the item started
// last (a failure that names anything else, such as the package whose
// catalog ended early, is the run's, and its outcome tells it). An item
// noted already (a script that ran, then failed) now failed.
void
RunRecorder::ItemFailed(const std::string& name, const std::string& reason)
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fCurrentPath.empty() || BaseName(fCurrentPath) != name)
		return;
	RunItem* failed = NULL;
	if (!fItems.empty() && fItems.back().fPath == fCurrentPath)
		failed = &fItems.back();
	else {
		fItems.push_back(RunItem());
		failed = &fItems.back();
		failed->fPath = fCurrentPath;
		failed->fKind = fCurrentKind;
	}
	failed->fAction = "failed";
	failed->fReason = reason;
	_Line({ { "event", "item failed" }, { "path", fCurrentPath }, { "reason", reason } });
}


void
RunRecorder::BytesDone(int64 bytes)
{
	std::lock_guard<std::mutex> guard(fLock);
	fBytesDone += bytes;
	_BytesLine(false);
}


void
RunRecorder::Asked(const RunQuestion& question)
{
	std::lock_guard<std::mutex> guard(fLock);
	fQuestions.push_back(question);
	json line = QuestionJson(question);
	line["event"] = question.fKind == "alert" ? "alert" : "question";
	_Line(line);
}


void
RunRecorder::RunEnded(const InstallOutcome& outcome)
{
	std::lock_guard<std::mutex> guard(fLock);
	fRunEnded = true;
	fOutcome = outcome;
	// The last count is told, however soon after the one before.
	_BytesLine(true);
	json line = { { "event", "run end" }, { "outcome", OutcomeName(outcome) } };
	if (!outcome.Reason().empty())
		line["reason"] = outcome.Reason();
	_Line(line);
}


const char*
RunRecorder::OutcomeName(const InstallOutcome& outcome)
{
	switch (outcome.Code()) {
		case kRunCompleted:
			return "completed";
		case kRunCancelled:
			return "cancelled";
		case kRunFailed:
			return "failed";
		case kRunNotStarted:
			break;
	}
	// Stopped before anything was extracted: by a person's "Cancel" (the
	// run then has nothing to say), or by a problem it names.
	return outcome.Reason().empty() ? "cancelled" : "failed";
}


bool
RunRecorder::GetLastOutcome(InstallOutcome* outcome) const
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fRunEnded)
		*outcome = fOutcome;
	return fRunEnded;
}


std::string
RunRecorder::LastAlertText() const
{
	std::lock_guard<std::mutex> guard(fLock);
	for (auto question = fQuestions.rbegin(); question != fQuestions.rend(); question++) {
		if (question->fKind == "alert")
			return question->fText;
	}
	return std::string();
}


int
RunRecorder::Finish(ProgramEnd end)
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		// A run's end has told the outcome already, unless the program's
		// end differs from it (nothing ran, or the answers stopped it).
		if (!fRunEnded || end.fOutcome != OutcomeName(fOutcome)) {
			json line = { { "event", "run end" }, { "outcome", end.fOutcome } };
			if (!end.fReason.empty())
				line["reason"] = end.fReason;
			_Line(line);
		}
	}
	std::string logCopy;
	if (!fLogCopyPath.empty() && !_CopyLog(&logCopy) && end.fExitStatus == 0)
		end.fExitStatus = 1;
	bool reported = fReportPath.empty() || _WriteReport(end, logCopy);
	if (fProgress)
		fProgress->Close(kProgressDrainWait);
	// No report to contradict: a report asked for and missing is no success.
	return reported || end.fExitStatus != 0 ? end.fExitStatus : 1;
}


void
RunRecorder::_Line(const json& line)
{
	if (fProgress)
		fProgress->Write(line.dump(-1, ' ', false, json::error_handler_t::replace));
}


void
RunRecorder::_BytesLine(bool force)
{
	if (!fRunStarted || fBytesDone == fBytesTold)
		return;
	bigtime_t now = system_time();
	if (!force && fBytesToldAt != 0 && now - fBytesToldAt < kBytesInterval)
		return;
	fBytesTold = fBytesDone;
	fBytesToldAt = now;
	_Line({ { "event", "bytes" }, { "done", fBytesDone }, { "total", fRun.fBytes } });
}


bool
RunRecorder::_CopyLog(std::string* copied)
{
	std::string logPath;
	{
		std::lock_guard<std::mutex> guard(fLock);
		logPath = fRun.fLogPath;
	}
	if (logPath.empty()) {
		// Nothing ran that keeps a log: nothing to copy, and no failure.
		fprintf(stderr, "kestrovan-installer: no install log to copy to %s: "
			"no installation wrote one\n", fLogCopyPath.c_str());
		return true;
	}
	BFile log(logPath.c_str(), B_READ_ONLY);
	off_t size = 0;
	std::string text;
	status_t status = log.InitCheck();
	if (status == B_OK)
		status = log.GetSize(&size);
	if (status == B_OK) {
		text.resize((size_t)size);
		ssize_t read = log.ReadAt(0, text.data(), text.size());
		status = read < 0 ? (status_t)read : B_OK;
		text.resize(read < 0 ? 0 : (size_t)read);
	}
	std::string error = status == B_OK ? std::string() : strerror_status(status);
	if (status != B_OK || !WriteAtomically(fLogCopyPath, text, &error)) {
		fprintf(stderr, "kestrovan-installer: the install log %s cannot be copied: %s\n",
			logPath.c_str(), error.c_str());
		return false;
	}
	*copied = fLogCopyPath;
	return true;
}


bool
RunRecorder::_WriteReport(const ProgramEnd& end, const std::string& logCopy)
{
	std::string text = _Report(end, logCopy).dump(2, ' ', false,
		json::error_handler_t::replace) + "\n";
	std::string error;
	if (!WriteAtomically(fReportPath, text, &error)) {
		fprintf(stderr, "kestrovan-installer: the report cannot be written: %s\n",
			error.c_str());
		return false;
	}
	return true;
}


json
RunRecorder::_Report(const ProgramEnd& end, const std::string& logCopy) const
{
	std::lock_guard<std::mutex> guard(fLock);
	json signer = nullptr;
	if (!end.fSignatureState.empty()) {
		signer = { { "state", end.fSignatureState }, { "key id", TextOrNull(end.fSignerKeyId) },
			{ "name", TextOrNull(end.fSignerName) } };
	}
	std::string packageName = fRunStarted && !fRun.fPackageName.empty()
		? fRun.fPackageName : end.fPackageName;
	json report = {
		{ "format", 1 },
		{ "outcome", end.fOutcome },
		{ "exit status", end.fExitStatus },
		{ "reason", TextOrNull(end.fReason) },
		{ "package", { { "name", TextOrNull(packageName) }, { "file", end.fPackageFile },
			{ "signer", signer } } },
		{ "volume", fRunStarted ? TextOrNull(fRun.fVolume) : json(nullptr) },
		{ "folder", fRunStarted ? TextOrNull(fRun.fInstallFolder) : json(nullptr) },
		{ "groups", fRunStarted ? json(fRun.fGroups) : json::array() },
		{ "bytes", { { "total", fRunStarted ? fRun.fBytes : 0 }, { "done", fBytesDone } } },
		{ "log", fRunStarted ? TextOrNull(fRun.fLogPath) : json(nullptr) },
		{ "log copy", TextOrNull(logCopy) }
	};
	json items = json::array();
	for (const RunItem& item : fItems)
		items.push_back(ItemJson(item));
	report["items"] = items;
	json questions = json::array();
	for (const RunQuestion& question : fQuestions)
		questions.push_back(QuestionJson(question));
	report["alerts"] = questions;
	int64 endSeconds = (int64)time(NULL);
	report["timings"] = { { "start", InstallReceipt::TimeText(fStartSeconds) },
		{ "end", InstallReceipt::TimeText(endSeconds) },
		{ "seconds", (double)((system_time() - fStartTime) / 1000) / 1000.0 } };
	return report;
}
