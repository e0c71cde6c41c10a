#ifndef _INSTALLED_COMMANDS_H
#define _INSTALLED_COMMANDS_H

// The installer's commands for the packages installed already, from their
// receipts: --list-installed [--json], --verify-installed NAME and
// --uninstall NAME [--force], narrowed to one volume by --volume. They need
// no package and no display; what they find goes to standard output, what
// goes wrong (alerts included) to standard error.

#include "InstallerOptions.h"
#include "ReceiptStore.h"

class InstalledCommands {
public:
	explicit InstalledCommands(const InstallerOptions& options);

	// Runs the command the options name; the program's exit status.
	int Run();

private:
	int _List();
	int _Verify();
	int _Uninstall();
	// The one receipt of the package named, or false after saying why there
	// is none to act on.
	bool _FindOne(StoredReceipt* found);
	// Names the files in receipt folders that are no receipts.
	void _ReportUnreadable();

	const InstallerOptions& fOptions;
	ReceiptStore fStore;
};

#endif // _INSTALLED_COMMANDS_H
