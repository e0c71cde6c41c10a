// The journal a run keeps, and what the next start makes of a run that
// died: taken back when it had not ended (what it made removed, what it
// displaced put back), finished when it had, never while its program lives.

#include "RecordingAlertSink.h"
#include "TempRoot.h"

#include "AlertSinkScope.h"
#include "RunJournal.h"
#include "RunRecovery.h"

#include <Directory.h>
#include <Entry.h>
#include <FileLock.h>
#include <Node.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

ino_t
NodeOf(const std::string& hostPath)
{
	struct stat st;
	return lstat(hostPath.c_str(), &st) == 0 ? st.st_ino : 0;
}

JournalRecord
Record(journal_step step, const std::string& path, const std::string& target = "",
	ino_t node = 0)
{
	JournalRecord record;
	record.fStep = step;
	record.fPath = path;
	record.fTarget = target;
	record.fNode = node;
	return record;
}

} // namespace


class RunRecoveryTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		std::filesystem::create_directories(fRoot.HostPath("boot/var/tmp/Stowhand7"));
		std::filesystem::create_directories(fRoot.HostPath("boot/apps"));
		fRunFolders.SetTo("/boot/var/tmp");
		fRunFolder.SetTo("/boot/var/tmp/Stowhand7");
	}

	// The journal of a run that was killed: its program is gone, the
	// journal stays.
	void WriteDeadJournal(const std::vector<JournalRecord>& records, bool ended = false)
	{
		RunJournal journal;
		ASSERT_EQ(journal.Start(&fRunFolder, "install", "Tool"), B_OK);
		for (const JournalRecord& record : records) {
			switch (record.fStep) {
				case kJournalMoving:
					journal.NoteMoving(record.fPath, record.fTarget, record.fNode);
					break;
				case kJournalCreating:
					journal.NoteCreating(record.fPath, true);
					break;
				case kJournalCreated:
					journal.NoteCreated(record.fPath, record.fNode);
					break;
				case kJournalScript:
					journal.NoteScript(record.fPath);
					break;
				default:
					break;
			}
		}
		if (ended)
			journal.NoteEnd();
	}

	// Displaces "boot/apps/<name>" into the run's folder as a run does.
	JournalRecord Displace(const std::string& name)
	{
		std::string from = fRoot.HostPath("boot/apps/" + name);
		std::string to = fRoot.HostPath("boot/var/tmp/Stowhand7/" + name);
		JournalRecord record = Record(kJournalMoving, "/boot/apps/" + name,
			"/boot/var/tmp/Stowhand7/" + name, NodeOf(from));
		std::filesystem::rename(from, to);
		return record;
	}

	std::vector<RecoveredRun> Recover()
	{
		std::vector<RecoveredRun> recovered;
		RunRecovery::RecoverRunsIn(&fRunFolders, &recovered);
		return recovered;
	}

	bool Exists(const std::string& path) const
	{
		return std::filesystem::exists(std::filesystem::symlink_status(fRoot.HostPath(path)));
	}

	BDirectory fRunFolders;
	BDirectory fRunFolder;
};


TEST_F(RunRecoveryTest, TheJournalReadsBackWhatWasWrittenAndNoMore)
{
	std::string odd = "/boot/apps/a\tb\nc\\d";
	{
		RunJournal journal;
		ASSERT_EQ(journal.Start(&fRunFolder, "uninstall", "Odd\tName"), B_OK);
		EXPECT_EQ(journal.NoteMoving(odd, "/boot/var/tmp/Stowhand7/x", 42), B_OK);
		EXPECT_EQ(journal.NoteCreating("/boot/apps/new", false), B_OK);
		EXPECT_EQ(journal.NoteCreated("/boot/apps/new", 43), B_OK);
		journal.PassUnrecordedStep();
		EXPECT_EQ(journal.NoteScript("setup"), B_OK);
		// A second holder is refused while this one lives.
		RunJournal other;
		EXPECT_EQ(other.Adopt(&fRunFolder), B_BUSY);
	}
	// A step an earlier version recorded ("complete") is no record now; a
	// power cut can leave the last line cut short: it is no record either.
	std::ofstream(fRoot.HostPath("boot/var/tmp/Stowhand7/journal"), std::ios::app)
		<< "complete\t/boot/apps/new\nend";

	std::string kind, name;
	std::vector<JournalRecord> records;
	ASSERT_EQ(RunJournal::Read(&fRunFolder, &kind, &name, &records), B_OK);
	EXPECT_EQ(kind, "uninstall");
	EXPECT_EQ(name, "Odd\tName");
	ASSERT_EQ(records.size(), 4u);
	EXPECT_EQ(records[0].fStep, kJournalMoving);
	EXPECT_EQ(records[0].fPath, odd);
	EXPECT_EQ(records[0].fTarget, "/boot/var/tmp/Stowhand7/x");
	EXPECT_EQ(records[0].fNode, 42u);
	EXPECT_EQ(records[2].fStep, kJournalCreated);
	EXPECT_EQ(records[2].fNode, 43u);
	EXPECT_EQ(records[3].fStep, kJournalScript);
	EXPECT_EQ(records[3].fPath, "setup");

	// The holder that ended without closing left the journal for the
	// next; one that closes removes it.
	RunJournal adopted;
	ASSERT_EQ(adopted.Adopt(&fRunFolder), B_OK);
	adopted.Close();
	EXPECT_FALSE(Exists("boot/var/tmp/Stowhand7/journal"));
	std::ofstream(fRoot.HostPath("boot/var/tmp/Stowhand7/journal")) << "not a journal\n";
	EXPECT_EQ(RunJournal::Read(&fRunFolder, &kind, &name, &records), B_BAD_DATA);
}


TEST_F(RunRecoveryTest, AnUnfinishedRunIsTakenBackTheLastStepFirst)
{
	fRoot.WriteFile("boot/apps/Tool/bin", "old program");
	fRoot.WriteFile("boot/apps/Lib", "old lib");
	fRoot.WriteFile("boot/apps/Doc", "old doc");
	std::vector<JournalRecord> records;
	// Tool is renamed aside and a new Tool folder made with a file in it,
	// one of whose records never reached the journal.
	records.push_back(Record(kJournalMoving, "/boot/apps/Tool", "/boot/apps/Tool.old",
		NodeOf(fRoot.HostPath("boot/apps/Tool"))));
	std::filesystem::rename(fRoot.HostPath("boot/apps/Tool"),
		fRoot.HostPath("boot/apps/Tool.old"));
	records.push_back(Record(kJournalCreating, "/boot/apps/Tool"));
	fRoot.WriteFile("boot/apps/Tool/bin", "new program");
	fRoot.WriteFile("boot/apps/Tool/unrecorded", "half");
	records.push_back(Record(kJournalCreated, "/boot/apps/Tool", "",
		NodeOf(fRoot.HostPath("boot/apps/Tool"))));
	// Lib is displaced and the new one was being written.
	records.push_back(Displace("Lib"));
	records.push_back(Record(kJournalCreating, "/boot/apps/Lib"));
	fRoot.WriteFile("boot/apps/Lib", "new li");
	// Doc is displaced, and the program died before it made the new one.
	records.push_back(Displace("Doc"));
	records.push_back(Record(kJournalScript, "setup"));
	WriteDeadJournal(records);

	RecordingAlertSink alerts;
	AlertSinkScope scope(&alerts);
	std::vector<RecoveredRun> recovered = Recover();
	ASSERT_EQ(recovered.size(), 1u);
	EXPECT_FALSE(recovered[0].fFinished);
	EXPECT_TRUE(recovered[0].fNotPutBack.empty());
	EXPECT_TRUE(RunRecovery::Tell(recovered));
	ASSERT_EQ(alerts.Texts().size(), 1u);
	EXPECT_EQ(alerts.Texts()[0], "An installation of \"Tool\" was interrupted. The items it "
		"had replaced have been put back.\nWhat its scripts did has not been undone: "
		"\"setup\".");

	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/bin"), "old program");
	EXPECT_FALSE(Exists("boot/apps/Tool/unrecorded"));
	EXPECT_FALSE(Exists("boot/apps/Tool.old"));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Lib"), "old lib");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Doc"), "old doc");
	EXPECT_FALSE(Exists("boot/var/tmp/Stowhand7"));
}


TEST_F(RunRecoveryTest, WhatIsNotTheRunsStaysAndIsSaid)
{
	fRoot.WriteFile("boot/apps/Lib", "old lib");
	fRoot.WriteFile("boot/apps/Doc", "old doc");
	std::vector<JournalRecord> records;
	// Lib was put back by the program before it died, after its new file
	// could not be made: the original is never taken for what the run
	// was making.
	records.push_back(Displace("Lib"));
	records.push_back(Record(kJournalCreating, "/boot/apps/Lib"));
	std::filesystem::rename(fRoot.HostPath("boot/var/tmp/Stowhand7/Lib"),
		fRoot.HostPath("boot/apps/Lib"));
	// Doc was replaced, and then someone else put a Doc in its place.
	records.push_back(Displace("Doc"));
	records.push_back(Record(kJournalCreating, "/boot/apps/Doc"));
	fRoot.WriteFile("boot/apps/Doc", "the run's");
	records.push_back(Record(kJournalCreated, "/boot/apps/Doc", "",
		NodeOf(fRoot.HostPath("boot/apps/Doc"))));
	// (the run's file is kept elsewhere, so that the new one has a node
	// of its own)
	std::filesystem::rename(fRoot.HostPath("boot/apps/Doc"),
		fRoot.HostPath("boot/the run's Doc"));
	fRoot.WriteFile("boot/apps/Doc", "someone else's");
	WriteDeadJournal(records);

	RecordingAlertSink alerts;
	AlertSinkScope scope(&alerts);
	std::vector<RecoveredRun> recovered = Recover();
	ASSERT_EQ(recovered.size(), 1u);
	ASSERT_EQ(recovered[0].fNotPutBack, std::vector<std::string>{"/boot/apps/Doc"});
	EXPECT_FALSE(RunRecovery::Tell(recovered));

	EXPECT_EQ(fRoot.ReadFile("boot/apps/Lib"), "old lib");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Doc"), "someone else's");
	// The original waits in a folder no run takes for its own.
	std::string keptIn = recovered[0].fKeptIn;
	ASSERT_EQ(keptIn.rfind("/boot/var/tmp/Installer Rescued Items ", 0), 0u) << keptIn;
	EXPECT_EQ(fRoot.ReadFile(keptIn.substr(1) + "/Doc"), "old doc");
	EXPECT_FALSE(Exists(keptIn.substr(1) + "/journal"));
	EXPECT_NE(alerts.Texts()[0].find("These items could not be put back; they are kept in \""
		+ keptIn + "\":\n  /boot/apps/Doc"), std::string::npos) << alerts.Texts()[0];
}


TEST_F(RunRecoveryTest, AFinishedRunIsCompletedAndALiveOneLeftAlone)
{
	fRoot.WriteFile("boot/apps/Lib", "old lib");
	std::vector<JournalRecord> records;
	records.push_back(Displace("Lib"));
	records.push_back(Record(kJournalCreating, "/boot/apps/Lib"));
	fRoot.WriteFile("boot/apps/Lib", "new lib");
	WriteDeadJournal(records, true);

	// Another run's folder whose program still runs.
	std::filesystem::create_directories(fRoot.HostPath("boot/var/tmp/Stowhand8"));
	fRoot.WriteFile("boot/var/tmp/Stowhand8/Kept", "displaced by a live run");
	BDirectory liveFolder("/boot/var/tmp/Stowhand8");
	RunJournal live;
	ASSERT_EQ(live.Start(&liveFolder, "install", "Other"), B_OK);
	// A folder of a run killed before its journal began, and one that is
	// not known.
	std::filesystem::create_directories(fRoot.HostPath("boot/var/tmp/Stowhand9"));
	fRoot.WriteFile("boot/var/tmp/Stowhand10/Unknown", "kept");

	RecordingAlertSink alerts;
	AlertSinkScope scope(&alerts);
	std::vector<RecoveredRun> recovered = Recover();
	ASSERT_EQ(recovered.size(), 1u);
	EXPECT_TRUE(recovered[0].fFinished);
	EXPECT_TRUE(RunRecovery::Tell(recovered));
	EXPECT_EQ(alerts.Texts()[0],
		"An installation of \"Tool\" was interrupted as it ended. It has been finished.");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Lib"), "new lib");
	EXPECT_FALSE(Exists("boot/var/tmp/Stowhand7"));
	EXPECT_FALSE(Exists("boot/var/tmp/Stowhand9"));
	EXPECT_EQ(fRoot.ReadFile("boot/var/tmp/Stowhand10/Unknown"), "kept");
	EXPECT_FALSE(Exists("boot/var/tmp/Stowhand10/journal"));
	EXPECT_EQ(fRoot.ReadFile("boot/var/tmp/Stowhand8/Kept"), "displaced by a live run");
	EXPECT_TRUE(Exists("boot/var/tmp/Stowhand8/journal"));
}


TEST_F(RunRecoveryTest, EveryVolumeButOneWhereARunIsLive)
{
	fRoot.WriteFile("boot/apps/Lib", "old lib");
	std::vector<JournalRecord> records;
	records.push_back(Displace("Lib"));
	WriteDeadJournal(records);
	std::filesystem::create_directories(fRoot.HostPath("Data/var/tmp/Stowhand3"));
	fRoot.WriteFile("Data/Lib", "old data lib");
	{
		BDirectory dataRun("/Data/var/tmp/Stowhand3");
		RunJournal journal;
		ASSERT_EQ(journal.Start(&dataRun, "install", "Data Tool"), B_OK);
		journal.NoteMoving("/Data/Lib", "/Data/var/tmp/Stowhand3/Lib",
			NodeOf(fRoot.HostPath("Data/Lib")));
		std::filesystem::rename(fRoot.HostPath("Data/Lib"),
			fRoot.HostPath("Data/var/tmp/Stowhand3/Lib"));
	}
	// Another installer holds the run lock of Data: its runs are its own.
	BDirectory dataRunFolders("/Data/var/tmp");
	BPrivate::FileLock dataLock;
	ASSERT_EQ(dataLock.TryLock(&dataRunFolders, kRunLockName), B_OK);

	RecordingAlertSink alerts;
	AlertSinkScope scope(&alerts);
	std::vector<RecoveredRun> recovered;
	RunRecovery::RecoverAllVolumes(&recovered);
	ASSERT_EQ(recovered.size(), 1u);
	EXPECT_EQ(recovered[0].fPackageName, "Tool");
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Lib"), "old lib");
	EXPECT_FALSE(Exists("Data/Lib"));

	dataLock.Unlock();
	recovered.clear();
	RunRecovery::RecoverAllVolumes(&recovered);
	ASSERT_EQ(recovered.size(), 1u);
	EXPECT_EQ(fRoot.ReadFile("Data/Lib"), "old data lib");
}
