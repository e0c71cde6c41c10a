#ifndef _INSTALLER_OPTIONS_H
#define _INSTALLER_OPTIONS_H

// The installer's command line: where the system root is, which display to
// use, the package to open (the program's own file when none is named), and
// for unattended runs the answers to every question the windows ask; or,
// instead of an install, what to do with the packages installed already.

#include <SupportDefs.h>

#include <set>
#include <string>
#include <vector>

struct FileAnswer;

// What to answer when an item meets an existing entry of its name.
enum existing_answer {
	kExistingReplace,
	kExistingRename,
	kExistingSkip,
	kExistingCancel
};

// Instead of installing: list the installed packages, check one's items
// against its receipt, or remove one.
enum installed_command {
	kNoInstalledCommand,
	kListInstalled,
	kVerifyInstalled,
	kUninstall
};

class InstallerOptions {
public:
	enum parse_result {
		kRun,
		kShowHelp,
		kShowVersion,
		kUsageError
	};

	InstallerOptions();

	// Reads the arguments after the program name. On kUsageError,
	// ErrorText() says what was wrong.
	parse_result Parse(int argc, const char* const* argv);
	const std::string& ErrorText() const { return fError; }

	static const char* UsageText();

	std::string fRoot;
	std::string fDisplay;
	std::string fPackage;
	bool fUnattended;
	std::string fVolume;
	std::string fFolder;
	// Group names; empty: the window's own first selection.
	std::vector<std::string> fGroups;
	bool fAcceptLicense;
	existing_answer fExisting;
	// The answer to every continue-or-cancel alert.
	bool fContinueOnError;
	bool fKeepOriginals;
	int32 fChoose;
	std::string fScreenshots;
	// Pixels per layout unit of the windows; 0: the desktop's own.
	float fScale;
	installed_command fInstalledCommand;
	// The package --verify-installed or --uninstall names.
	std::string fInstalledName;
	// --list-installed writes the receipts as JSON.
	bool fJson;
	// --uninstall removes items changed since the install too.
	bool fForce;
	// Only recover interrupted runs, then end.
	bool fRecover;
	// Public key files whose signatures are trusted (--trusted-key).
	std::vector<std::string> fTrustedKeys;
	// Refuse packages that no trusted key signed.
	bool fRequireSignature;
	// Answers read from a JSON file (--answers); the command line's own
	// options win over it.
	std::string fAnswersFile;
	// Where the choices made in the windows are written (--save-answers).
	std::string fSaveAnswersFile;

	// For machines: the JSON report written at the end (--report), the
	// descriptor of the JSON progress lines, -1 for none (--progress-fd),
	// and the host path of the install log's copy (--log-copy).
	std::string fReportPath;
	int fProgressFD;
	std::string fLogCopyPath;

	// --plan: make every choice an unattended run would make, write
	// nothing, and print the plan as JSON (implies the unattended answers).
	bool fPlan;

private:
	static bool _TakesValue(const std::string& option);
	static bool _IsFlag(const std::string& option);
	bool _SetFlag(const std::string& option);
	bool _SetInstalledCommand(installed_command command, const std::string& name);
	bool _CheckInstalledCommand();
	bool _Set(const std::string& option, const std::string& text);
	bool _TakeValue(const char* option, const char* value,
		std::string* result);
	bool _SetExisting(const std::string& value);
	bool _SetFolder(const std::string& value);
	bool _SetOnError(const std::string& value);
	bool _SetChoose(const std::string& value);
	bool _SetDisplay(const std::string& value);
	bool _SetScale(const std::string& value);
	static bool _IsRunOutput(const std::string& option);
	bool _SetRunOutput(const std::string& option, const std::string& value);
	bool _CheckRunOutputs();
	bool _ReadAnswersFile();
	bool _ApplyAnswer(const FileAnswer& answer);

	std::string fError;
	// The options the command line gave, which an answers file cannot
	// change.
	std::set<std::string> fGiven;
};

// The names of a --groups value: "A,B" gives A and B; blanks around a name
// are not part of it.
std::vector<std::string> split_group_names(const std::string& list);

#endif // _INSTALLER_OPTIONS_H
