#include "InstalledCommands.h"

#include "AlertSinkScope.h"
#include "DoError.h"
#include "InstalledCheck.h"
#include "Uninstaller.h"

#include <Errors.h>

#include <cstdio>
#include <string>

namespace {

void
Complain(const std::string& text)
{
	fprintf(stderr, "kestrovan-installer: %s\n", text.c_str());
}


std::string
Quoted(const std::string& text)
{
	return "\"" + text + "\"";
}


// One line: name, volume, install folder, item count, date.
void
PrintSummary(const StoredReceipt& stored)
{
	const InstallReceipt& receipt = stored.fReceipt;
	std::string folder = receipt.fInstallFolder.empty() ? "(no install folder)"
		: receipt.fInstallFolder;
	size_t count = receipt.fItems.size();
	printf("%s\t%s\t%s\t%zu %s\t%s\n", receipt.fPackageName.c_str(),
		stored.fVolumeName.c_str(), folder.c_str(), count, count == 1 ? "item" : "items",
		InstallReceipt::TimeText(receipt.fInstalledAt).c_str());
}


void
PrintScripts(const InstallReceipt& receipt)
{
	if (receipt.fScripts.empty())
		return;
	std::string names;
	for (const ReceiptScript& script : receipt.fScripts) {
		names += (names.empty() ? "" : ", ") + Quoted(script.fName);
		if (!script.fFolder.empty())
			names += " (in " + script.fFolder + ")";
	}
	printf("The scripts that ran when %s was installed cannot be undone: %s\n",
		Quoted(receipt.fPackageName).c_str(), names.c_str());
}

} // namespace


InstalledCommands::InstalledCommands(const InstallerOptions& options)
	:
	fOptions(options)
{
}


int
InstalledCommands::Run()
{
	// Nobody is at a window: alerts (those of the run machinery an
	// uninstall goes through) are written on standard error and answered.
	AlertSinkScope alerts(StandardErrorAlertSink());
	fStore.Load();
	switch (fOptions.fInstalledCommand) {
		case kListInstalled:
			return _List();
		case kVerifyInstalled:
			return _Verify();
		case kUninstall:
			return _Uninstall();
		default:
			return 2;
	}
}


void
InstalledCommands::_ReportUnreadable()
{
	for (const std::string& unreadable : fStore.Unreadable())
		Complain("passed over " + unreadable);
}


int
InstalledCommands::_List()
{
	_ReportUnreadable();
	std::string json;
	for (const StoredReceipt& stored : fStore.Receipts()) {
		if (!fOptions.fVolume.empty() && stored.fVolumeName != fOptions.fVolume)
			continue;
		if (!fOptions.fJson) {
			PrintSummary(stored);
			continue;
		}
		std::string record = stored.fReceipt.ToJson();
		while (!record.empty() && record.back() == '\n')
			record.pop_back();
		json += (json.empty() ? "" : ",\n") + record;
	}
	if (fOptions.fJson)
		printf("[%s%s]\n", json.c_str(), json.empty() ? "" : "\n");
	return 0;
}


bool
InstalledCommands::_FindOne(StoredReceipt* found)
{
	std::vector<StoredReceipt> matches = fStore.Find(fOptions.fInstalledName,
		fOptions.fVolume);
	if (matches.size() == 1) {
		*found = matches[0];
		return true;
	}
	if (matches.empty()) {
		// It may be one of them.
		_ReportUnreadable();
		Complain("no package " + Quoted(fOptions.fInstalledName) + " is installed"
			+ (fOptions.fVolume.empty() ? "" : " on volume " + Quoted(fOptions.fVolume)));
		return false;
	}
	std::string volumes;
	for (const StoredReceipt& match : matches)
		volumes += (volumes.empty() ? "" : ", ") + match.fVolumeName;
	Complain(Quoted(fOptions.fInstalledName) + " is installed on several volumes ("
		+ volumes + "): name one with --volume");
	return false;
}


int
InstalledCommands::_Verify()
{
	StoredReceipt stored;
	if (!_FindOne(&stored))
		return 1;
	InstalledCheck check(stored.fReceipt);
	check.Run();
	for (const ItemDifference& difference : check.Differences())
		printf("%s: %s\n", difference.fPath.c_str(), difference.fText.c_str());
	return check.Differences().empty() ? 0 : 1;
}


int
InstalledCommands::_Uninstall()
{
	StoredReceipt stored;
	if (!_FindOne(&stored))
		return 1;
	Uninstaller uninstaller(stored.fVolume, stored.fFileName, stored.fReceipt.fPackageName);
	uninstaller.SetForce(fOptions.fForce);
	status_t status = uninstaller.Run();
	std::string name = Quoted(stored.fReceipt.fPackageName);
	std::string volume = Quoted(stored.fVolumeName);
	switch (status) {
		case B_OK:
			break;
		case B_BUSY:
			Complain("another installation is running on volume " + volume
				+ ": nothing was removed; try again when it has finished");
			return 1;
		case B_ENTRY_NOT_FOUND:
			Complain("no package " + name + " is installed on volume " + volume);
			return 1;
		case B_BAD_DATA:
			Complain("the receipt of " + name + " is damaged: nothing was removed");
			return 1;
		case B_NOT_ALLOWED:
			Complain(Quoted(uninstaller.FailedItem()) + " could not be moved aside: nothing "
				"was removed");
			return 1;
		case B_CANCELED:
			Complain("the removal of " + name + " was interrupted: what it had removed "
				"was put back");
			return 1;
		default:
			Complain("the removal of " + name + " could not be done (" + strerror_status(status)
				+ "): nothing was removed");
			return 1;
	}

	int32 removed = uninstaller.RemovedCount();
	printf("Removed %d %s of %s from volume %s.\n", (int)removed,
		removed == 1 ? "item" : "items", name.c_str(), volume.c_str());
	for (const std::string& restored : uninstaller.Restored())
		printf("Renamed back: %s\n", restored.c_str());
	for (const std::string& kept : uninstaller.Kept())
		printf("Kept %s\n", kept.c_str());
	if (uninstaller.ReceiptKept())
		printf("The receipt of %s stays, naming what was kept.\n", name.c_str());
	if (uninstaller.ChangedItemsKept())
		printf("--force removes the changed and patched items too.\n");
	PrintScripts(uninstaller.Receipt());
	return uninstaller.Kept().empty() ? 0 : 1;
}
