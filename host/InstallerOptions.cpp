#include "InstallerOptions.h"

#include "AnswersFile.h"

#include <DisplayScale.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string
Trimmed(const std::string& text)
{
	size_t first = text.find_first_not_of(" \t");
	if (first == std::string::npos)
		return std::string();
	size_t last = text.find_last_not_of(" \t");
	return text.substr(first, last - first + 1);
}

} // namespace


std::vector<std::string>
split_group_names(const std::string& list)
{
	std::vector<std::string> names;
	size_t start = 0;
	while (start <= list.size()) {
		size_t comma = list.find(',', start);
		if (comma == std::string::npos)
			comma = list.size();
		std::string name = Trimmed(list.substr(start, comma - start));
		if (!name.empty())
			names.push_back(name);
		start = comma + 1;
	}
	return names;
}


InstallerOptions::InstallerOptions()
	:
	fUnattended(false),
	fAcceptLicense(false),
	// Unattended, nothing is lost unless asked for: an existing item is
	// kept beside the new one.
	fExisting(kExistingRename),
	fContinueOnError(false),
	fKeepOriginals(false),
	fChoose(0),
	fScale(0),
	fInstalledCommand(kNoInstalledCommand),
	fJson(false),
	fForce(false),
	fRecover(false),
	fRequireSignature(false),
	fProgressFD(-1),
	fPlan(false)
{
}


const char*
InstallerOptions::UsageText()
{
	return
		"Usage: kestrovan-installer [OPTIONS] [PACKAGE]\n"
		"\n"
		"Installs the package this program carries, or PACKAGE (a package or\n"
		"another self-extracting installer).\n"
		"\n"
		"  --root DIR            the system root (else $KESTROVAN_ROOT, else\n"
		"                        ~/.local/share/kestrovan/root)\n"
		"  --display sdl|headless  where windows appear (default: sdl; without a\n"
		"                        display, use --unattended or --display headless)\n"
		"  --unattended          install with nobody at the window, answering\n"
		"                        every question from the options below\n"
		"  --volume NAME         the volume to install on (default: the boot volume)\n"
		"  --folder PATH         apps, home, home/Desktop, or an absolute path\n"
		"                        (its missing folders are made; default apps)\n"
		"  --groups \"A,B\"        the groups to install (default: the first row)\n"
		"  --accept-license      agree to the package's agreement (default:\n"
		"                        disagree, and nothing is installed)\n"
		"  --existing replace|rename|skip|cancel\n"
		"                        the answer when an item already exists\n"
		"                        (default rename: the existing item is kept\n"
		"                        beside the new one)\n"
		"  --on-error continue|cancel\n"
		"                        the answer when an item fails (default cancel)\n"
		"  --keep-originals      keep the originals of patched files (default:\n"
		"                        they are deleted)\n"
		"  --choose N            the match to install into when a search finds\n"
		"                        several (default 0, the first)\n"
		"  --answers FILE        the answers above (and --trusted-key,\n"
		"                        --require-signature) from a JSON file, see\n"
		"                        docs/answers.md; options given on the command\n"
		"                        line win over it\n"
		"  --save-answers FILE   write the choices made in the windows to FILE\n"
		"                        when the program ends (also after a cancelled\n"
		"                        run), for --unattended --answers FILE\n"
		"  --screenshots DIR     a PNG of each window as it appears and changes\n"
		"  --scale N             draw the windows N times their size (1 to 4, e.g.\n"
		"                        2 or 1.5) for a high-DPI screen; the default\n"
		"                        comes from the desktop: GDK_SCALE, Xft.dpi, or\n"
		"                        the screen's dots per inch\n"
		"  --trusted-key FILE    trust signatures by this public key (may repeat;\n"
		"                        the keys in home/config/settings/kestrovan/\n"
		"                        trusted-keys of the boot volume are trusted too)\n"
		"  --require-signature   refuse a package that no trusted key signed\n"
		"                        (default: an unsigned one is installed too)\n"
		"  --plan                write nothing: print as JSON what an unattended\n"
		"                        run with these options would do (exit 0: it\n"
		"                        would install, 1: it would stop, and why)\n"
		"  --recover             only take back (or finish) the installations that\n"
		"                        were interrupted, on every volume, and end\n"
		"  --report FILE         write a JSON report of the run to FILE at its end,\n"
		"                        whatever the end (docs/report.md)\n"
		"  --progress-fd N       write JSON progress lines on descriptor N\n"
		"  --log-copy FILE       copy the install log to FILE at the end of the run\n"
		"  --help, --version\n"
		"\n"
		"Installed packages (no package, no display; --volume NAME narrows):\n"
		"  --list-installed [--json]  every installed package, from its receipt\n"
		"  --verify-installed NAME    check the items of NAME against its receipt\n"
		"  --uninstall NAME [--force] remove the items of NAME unchanged since the\n"
		"                        install (--force: changed ones too)\n"
		"\n"
		"Exit status: 0 installed, 1 not installed (package unusable, agreement\n"
		"declined, signature refused, run stopped, failed or cancelled), 2 usage\n"
		"error or no display.\n"
		"--verify-installed: 0 every item as installed, 1 otherwise; --uninstall:\n"
		"0 every item removed, 1 otherwise (items kept, volume busy, no such\n"
		"package); --recover: 0 nothing left or all put back, 1 otherwise.\n";
}


InstallerOptions::parse_result
InstallerOptions::Parse(int argc, const char* const* argv)
{
	for (int i = 0; i < argc; i++) {
		std::string arg = argv[i];
		// --name=value is the same as --name value.
		bool inlineValue = false;
		std::string value;
		size_t equals = arg.find('=');
		if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
			value = arg.substr(equals + 1);
			arg = arg.substr(0, equals);
			inlineValue = true;
		}

		// --plan: a dry run, answered as an unattended run is.
		if (arg == "--plan") {
			if (inlineValue) {
				fError = arg + " takes no value";
				return kUsageError;
			}
			fPlan = true;
			fUnattended = true;
			continue;
		}
		if (arg == "--help" || arg == "-h")
			return kShowHelp;
		if (arg == "--version")
			return kShowVersion;
		if (_IsFlag(arg)) {
			if (inlineValue) {
				fError = arg + " takes no value";
				return kUsageError;
			}
			if (!_SetFlag(arg))
				return kUsageError;
			fGiven.insert(arg);
		} else if (_TakesValue(arg)) {
			const char* next = inlineValue ? value.c_str()
				: i + 1 < argc ? argv[++i] : NULL;
			std::string text;
			if (!_TakeValue(arg.c_str(), next, &text) || !_Set(arg, text))
				return kUsageError;
			fGiven.insert(arg);
		} else if (arg.compare(0, 1, "-") == 0 && arg != "-") {
			fError = "unknown option " + arg;
			return kUsageError;
		} else if (fPackage.empty()) {
			fPackage = arg;
		} else {
			fError = "only one package can be installed at a time";
			return kUsageError;
		}
	}
	if (!fAnswersFile.empty() && !_ReadAnswersFile())
		return kUsageError;
	if (!fSaveAnswersFile.empty() && (fInstalledCommand != kNoInstalledCommand || fRecover)) {
		fError = "--save-answers goes with an install";
		return kUsageError;
	}
	if (fPlan && (fInstalledCommand != kNoInstalledCommand || fRecover)) {
		fError = "--plan goes with a package to install";
		return kUsageError;
	}
	if (fUnattended && fDisplay == "sdl") {
		fError = "--unattended runs on the headless display";
		return kUsageError;
	}
	if (!_CheckInstalledCommand() || !_CheckRunOutputs())
		return kUsageError;
	return kRun;
}


bool
InstallerOptions::_IsFlag(const std::string& option)
{
	static const char* const kFlags[] = { "--unattended", "--accept-license",
		"--keep-originals", "--list-installed", "--json", "--force", "--recover",
		"--require-signature" };
	for (const char* name : kFlags) {
		if (option == name)
			return true;
	}
	return false;
}


bool
InstallerOptions::_SetFlag(const std::string& option)
{
	if (option == "--list-installed")
		return _SetInstalledCommand(kListInstalled, std::string());
	if (option == "--unattended")
		fUnattended = true;
	else if (option == "--accept-license")
		fAcceptLicense = true;
	else if (option == "--keep-originals")
		fKeepOriginals = true;
	else if (option == "--json")
		fJson = true;
	else if (option == "--force")
		fForce = true;
	else if (option == "--recover")
		fRecover = true;
	else if (option == "--require-signature")
		fRequireSignature = true;
	return true;
}


bool
InstallerOptions::_SetInstalledCommand(installed_command command,
	const std::string& name)
{
	if (fInstalledCommand != kNoInstalledCommand) {
		fError = "only one of --list-installed, --verify-installed and "
			"--uninstall can be given";
		return false;
	}
	fInstalledCommand = command;
	fInstalledName = name;
	return true;
}


// The options that belong to one command are refused without it, and the
// commands install nothing.
bool
InstallerOptions::_CheckInstalledCommand()
{
	if (fJson && fInstalledCommand != kListInstalled)
		fError = "--json goes with --list-installed";
	else if (fForce && fInstalledCommand != kUninstall)
		fError = "--force goes with --uninstall";
	else if (fInstalledCommand != kNoInstalledCommand && !fPackage.empty())
		fError = "a package cannot be installed together with --list-installed, "
			"--verify-installed or --uninstall";
	else
		return true;
	return false;
}


bool
InstallerOptions::_TakesValue(const std::string& option)
{
	if (_IsRunOutput(option))
		return true;
	static const char* const kValueOptions[] = { "--root", "--volume",
		"--folder", "--groups", "--existing", "--on-error", "--choose",
		"--screenshots", "--display", "--verify-installed", "--uninstall", "--scale",
		"--trusted-key" };
	if (option == "--answers" || option == "--save-answers")
		return true;
	for (const char* name : kValueOptions) {
		if (option == name)
			return true;
	}
	return false;
}


bool
InstallerOptions::_Set(const std::string& option, const std::string& text)
{
	if (_IsRunOutput(option))
		return _SetRunOutput(option, text);
	if (option == "--root")
		fRoot = text;
	else if (option == "--volume")
		fVolume = text;
	else if (option == "--folder")
		return _SetFolder(text);
	else if (option == "--groups")
		fGroups = split_group_names(text);
	else if (option == "--screenshots")
		fScreenshots = text;
	else if (option == "--trusted-key")
		fTrustedKeys.push_back(text);
	else if (option == "--answers")
		fAnswersFile = text;
	else if (option == "--save-answers")
		fSaveAnswersFile = text;
	else if (option == "--existing")
		return _SetExisting(text);
	else if (option == "--on-error")
		return _SetOnError(text);
	else if (option == "--choose")
		return _SetChoose(text);
	else if (option == "--verify-installed")
		return _SetInstalledCommand(kVerifyInstalled, text);
	else if (option == "--uninstall")
		return _SetInstalledCommand(kUninstall, text);
	else if (option == "--scale")
		return _SetScale(text);
	else
		return _SetDisplay(text);
	return true;
}


bool
InstallerOptions::_TakeValue(const char* option, const char* value,
	std::string* result)
{
	if (value == NULL || value[0] == '\0') {
		fError = std::string(option) + " needs a value";
		return false;
	}
	*result = value;
	return true;
}


bool
InstallerOptions::_SetExisting(const std::string& value)
{
	if (value == "replace")
		fExisting = kExistingReplace;
	else if (value == "rename")
		fExisting = kExistingRename;
	else if (value == "skip")
		fExisting = kExistingSkip;
	else if (value == "cancel")
		fExisting = kExistingCancel;
	else {
		fError = "--existing takes replace, rename, skip or cancel, not "
			+ value;
		return false;
	}
	return true;
}


// Missing folders of the path are made: a path that climbs ("..") or
// stays (".") is refused before anything is looked at.
bool
InstallerOptions::_SetFolder(const std::string& value)
{
	std::string marked = "/" + value + "/";
	if (marked.find("/../") != std::string::npos
		|| marked.find("/./") != std::string::npos) {
		fError = "--folder takes a path without \".\" or \"..\", not " + value;
		return false;
	}
	fFolder = value;
	return true;
}


bool
InstallerOptions::_SetOnError(const std::string& value)
{
	if (value != "continue" && value != "cancel") {
		fError = "--on-error takes continue or cancel, not " + value;
		return false;
	}
	fContinueOnError = value == "continue";
	return true;
}


bool
InstallerOptions::_SetChoose(const std::string& value)
{
	char* end = NULL;
	errno = 0;
	long number = strtol(value.c_str(), &end, 10);
	if (errno != 0 || end == value.c_str() || *end != '\0' || number < 0
		|| number > 1000000) {
		fError = "--choose takes a match number from 0, not " + value;
		return false;
	}
	fChoose = (int32)number;
	return true;
}


bool
InstallerOptions::_SetDisplay(const std::string& value)
{
	if (value != "sdl" && value != "headless") {
		fError = "--display takes sdl or headless, not " + value;
		return false;
	}
	fDisplay = value;
	return true;
}


bool
InstallerOptions::_SetScale(const std::string& value)
{
	if (!BPrivate::DisplayScale::Parse(value.c_str(), &fScale)) {
		fError = "--scale takes a number from 1 to 4 (such as 2 or 1.5), not "
			+ value;
		return false;
	}
	return true;
}


bool
InstallerOptions::_IsRunOutput(const std::string& option)
{
	return option == "--report" || option == "--progress-fd" || option == "--log-copy";
}


bool
InstallerOptions::_SetRunOutput(const std::string& option, const std::string& value)
{
	if (option == "--report")
		fReportPath = value;
	else if (option == "--log-copy")
		fLogCopyPath = value;
	else {
		char* end = NULL;
		errno = 0;
		long number = strtol(value.c_str(), &end, 10);
		// The standard descriptors are not the program's to take.
		if (errno != 0 || end == value.c_str() || *end != '\0' || number < 1
			|| number > 1000000 || number == 2) {
			fError = "--progress-fd takes an open descriptor number from 1 "
				"(not 2, standard error), not " + value;
			return false;
		}
		fProgressFD = (int)number;
	}
	return true;
}


bool
InstallerOptions::_ReadAnswersFile()
{
	std::vector<FileAnswer> answers;
	if (!AnswersFile::Read(fAnswersFile, &answers, &fError))
		return false;
	// An answer the command line overrides is still checked, on a copy:
	// a mistake in the file is told whichever options the run is given.
	InstallerOptions overridden = *this;
	for (const FileAnswer& answer : answers) {
		InstallerOptions* target = fGiven.count(answer.option) != 0 ? &overridden : this;
		if (!target->_ApplyAnswer(answer)) {
			fError = target->fError;
			return false;
		}
	}
	return true;
}


// The outputs belong to an install: the other commands have their own.
bool
InstallerOptions::_CheckRunOutputs()
{
	bool wanted = !fReportPath.empty() || fProgressFD >= 0 || !fLogCopyPath.empty();
	if (wanted && (fInstalledCommand != kNoInstalledCommand || fRecover))
		fError = "--report, --progress-fd and --log-copy go with an install";
	else if (!fReportPath.empty() && fReportPath == fLogCopyPath)
		fError = "--report and --log-copy name the same file";
	else
		return true;
	return false;
}


// Each answer goes through its option's own checks; a refusal names the
// file and the key before the option's own words.
bool
InstallerOptions::_ApplyAnswer(const FileAnswer& answer)
{
	const std::vector<std::string>& words = answer.words;
	if (answer.type == FileAnswer::kFlag) {
		bool value = words[0] == "true";
		if (answer.option == "--accept-license")
			fAcceptLicense = value;
		else if (answer.option == "--keep-originals")
			fKeepOriginals = value;
		else
			fRequireSignature = value;
		return true;
	}
	if (answer.type == FileAnswer::kList) {
		if (answer.option == "--groups")
			fGroups = words;
		else
			fTrustedKeys = words;
		return true;
	}
	if (_Set(answer.option, words[0]))
		return true;
	fError = fAnswersFile + ": \"" + answer.key + "\": " + fError;
	return false;
}
