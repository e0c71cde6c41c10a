#include "RunJournal.h"

#include <Directory.h>
#include <Errors.h>
#include <StorageDefs.h>

#include <csignal>
#include <cstdlib>
#include <map>

namespace {

const char* const kJournalHeader = "kestrovan-journal 1";

// For the tests of recovery: with KESTROVAN_JOURNAL_KILL_AT=N in its
// environment the program kills itself right after the Nth step it notes
// (the first is the journal's header; a step that needs no record counts
// too), as a kill at that point would.
int32
KillAtStep()
{
	const char* value = getenv("KESTROVAN_JOURNAL_KILL_AT");
	return value != nullptr ? (int32)strtol(value, nullptr, 10) : 0;
}

const int32 sKillAtStep = KillAtStep();
int32 sStepsTaken = 0;

const std::map<std::string, journal_step>&
StepNames()
{
	static const std::map<std::string, journal_step> names = {
		{ "folder-made", kJournalFolderMade },
		{ "moving", kJournalMoving },
		{ "creating", kJournalCreating },
		{ "created", kJournalCreated },
		{ "script", kJournalScript },
		{ "end", kJournalEnd }
	};
	return names;
}


std::string
Escaped(const std::string& text)
{
	std::string escaped;
	for (char c : text) {
		if (c == '\\')
			escaped += "\\\\";
		else if (c == '\t')
			escaped += "\\t";
		else if (c == '\n')
			escaped += "\\n";
		else
			escaped += c;
	}
	return escaped;
}


std::string
Unescaped(const std::string& text)
{
	std::string plain;
	for (size_t i = 0; i < text.size(); i++) {
		if (text[i] != '\\' || i + 1 == text.size()) {
			plain += text[i];
			continue;
		}
		char next = text[++i];
		plain += next == 't' ? '\t' : next == 'n' ? '\n' : next;
	}
	return plain;
}


std::vector<std::string>
SplitFields(const std::string& line)
{
	std::vector<std::string> fields;
	size_t start = 0;
	for (;;) {
		size_t tab = line.find('\t', start);
		fields.push_back(Unescaped(line.substr(start, tab - start)));
		if (tab == std::string::npos)
			return fields;
		start = tab + 1;
	}
}


// The record a line holds; false for a line that is none.
bool
ParseRecord(const std::string& line, JournalRecord* record)
{
	std::vector<std::string> fields = SplitFields(line);
	auto step = StepNames().find(fields[0]);
	if (step == StepNames().end())
		return false;
	record->fStep = step->second;
	if (fields.size() > 1)
		record->fPath = fields[1];
	if (record->fStep == kJournalMoving && fields.size() > 3) {
		record->fTarget = fields[2];
		record->fNode = (ino_t)strtoull(fields[3].c_str(), nullptr, 10);
	} else if (record->fStep == kJournalCreated && fields.size() > 2)
		record->fNode = (ino_t)strtoull(fields[2].c_str(), nullptr, 10);
	// A move must say where to, and every step but the end is about a path.
	if (record->fStep == kJournalMoving)
		return !record->fTarget.empty() && !record->fPath.empty();
	return record->fStep == kJournalEnd || !record->fPath.empty();
}


std::string
StepName(journal_step step)
{
	for (const auto& [name, value] : StepNames()) {
		if (value == step)
			return name;
	}
	return std::string();
}

} // namespace


const char* const RunJournal::kFileName = "journal";


RunJournal::RunJournal()
{
}


RunJournal::~RunJournal()
{
	// A run that ends without Close (the program ends with it) leaves its
	// journal for the next start.
	fFile.Unset();
	fLock.Release();
}


status_t
RunJournal::Start(BDirectory* runFolder, const char* kind, const char* packageName,
	const std::vector<std::string>& foldersMade)
{
	// The header and the folders made are one write: a journal that has
	// begun names them.
	std::string lines = _Line({ kJournalHeader, kind, packageName != nullptr ? packageName : "" });
	for (const std::string& folder : foldersMade)
		lines += _Line({ StepName(kJournalFolderMade), folder });
	status_t status = fLock.TryLock(runFolder, kFileName);
	if (status == B_OK)
		status = fFile.SetTo(runFolder, kFileName, B_WRITE_ONLY | B_OPEN_AT_END);
	if (status == B_OK)
		status = _Write(lines, true);
	if (status != B_OK) {
		fFile.Unset();
		fLock.Unlock();
	}
	return status;
}


status_t
RunJournal::Adopt(BDirectory* runFolder)
{
	return fLock.TryLock(runFolder, kFileName);
}


void
RunJournal::Close()
{
	fFile.Unset();
	fLock.Unlock();
}


status_t
RunJournal::NoteMoving(const std::string& from, const std::string& to, ino_t node)
{
	return _Append({ StepName(kJournalMoving), from, to, std::to_string(node) }, true);
}


status_t
RunJournal::NoteCreating(const std::string& path, bool flush)
{
	return _Append({ StepName(kJournalCreating), path }, flush);
}


status_t
RunJournal::NoteCreated(const std::string& path, ino_t node)
{
	return _Append({ StepName(kJournalCreated), path, std::to_string(node) }, false);
}


void
RunJournal::PassUnrecordedStep()
{
	_CountStep();
}


status_t
RunJournal::NoteScript(const std::string& name)
{
	return _Append({ StepName(kJournalScript), name }, true);
}


status_t
RunJournal::NoteEnd()
{
	return _Append({ StepName(kJournalEnd) }, true);
}


std::string
RunJournal::_Line(const std::vector<std::string>& fields)
{
	std::string line;
	for (const std::string& field : fields)
		line += (line.empty() ? "" : "\t") + Escaped(field);
	return line + '\n';
}


status_t
RunJournal::_Append(const std::vector<std::string>& fields, bool flush)
{
	return _Write(_Line(fields), flush);
}


// One write per record: a program killed after it has the whole line in
// the journal, one killed before has none of it.
status_t
RunJournal::_Write(const std::string& lines, bool flush)
{
	if (fFile.InitCheck() != B_OK)
		return B_NO_INIT;
	ssize_t written = fFile.Write(lines.data(), lines.size());
	if (written < 0)
		return (status_t)written;
	if ((size_t)written != lines.size())
		return B_IO_ERROR;
	status_t status = flush ? fFile.Sync() : B_OK;
	_CountStep();
	return status;
}


void
RunJournal::_CountStep()
{
	if (++sStepsTaken == sKillAtStep)
		raise(SIGKILL);
}


status_t
RunJournal::Read(BDirectory* runFolder, std::string* kind, std::string* packageName,
	std::vector<JournalRecord>* records)
{
	BFile file(runFolder, kFileName, B_READ_ONLY);
	status_t status = file.InitCheck();
	if (status != B_OK)
		return status;
	std::string text;
	char buffer[65536];
	ssize_t count;
	while ((count = file.Read(buffer, sizeof(buffer))) > 0)
		text.append(buffer, (size_t)count);
	if (count < 0)
		return (status_t)count;

	size_t end = text.find('\n');
	if (end == std::string::npos)
		return B_BAD_DATA;
	std::vector<std::string> header = SplitFields(text.substr(0, end));
	if (header.size() < 3 || header[0] != kJournalHeader)
		return B_BAD_DATA;
	*kind = header[1];
	*packageName = header[2];
	records->clear();
	for (size_t start = end + 1; (end = text.find('\n', start)) != std::string::npos;
			start = end + 1) {
		JournalRecord record;
		if (ParseRecord(text.substr(start, end - start), &record))
			records->push_back(record);
	}
	return B_OK;
}
