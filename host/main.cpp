// kestrovan-installer: installs the package it carries, or the one named on
// its command line, in a window or, with --unattended, with nobody at it.

#include "InstallApp.h"
#include "InstallerOptions.h"
#include "UnattendedDriver.h"

#include <DisplayBackend.h>
#include <EntryRef.h>
#include <SystemRoot.h>

#include <climits>
#include <filesystem>
#include <system_error>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kVersion = "kestrovan-installer 1.0";

int
UsageError(const std::string& text)
{
	fprintf(stderr, "kestrovan-installer: %s\nTry kestrovan-installer --help.\n",
		text.c_str());
	return 2;
}


bool
SelectDisplay(const InstallerOptions& options)
{
	// Nobody is at an unattended run: its windows live on a virtual screen.
	const char* name = options.fUnattended ? "headless"
		: options.fDisplay.empty() ? NULL : options.fDisplay.c_str();
	if (name == NULL)
		return true;
	if (BPrivate::DisplayBackend::Select(name) != B_OK) {
		fprintf(stderr, "kestrovan-installer: the %s display cannot be "
			"used\n", name);
		return false;
	}
	return true;
}


InstallApp*
MakeApplication(const InstallerOptions& options)
{
	if (options.fPackage.empty())
		return new InstallApp();
	char hostPath[PATH_MAX];
	entry_ref ref;
	if (realpath(options.fPackage.c_str(), hostPath) == NULL
		|| get_ref_for_host_path(hostPath, &ref) != B_OK) {
		fprintf(stderr, "kestrovan-installer: %s: no such package\n",
			options.fPackage.c_str());
		return NULL;
	}
	return new InstallApp(ref);
}

} // namespace


int
main(int argc, char** argv)
{
	InstallerOptions options;
	switch (options.Parse(argc - 1, argv + 1)) {
		case InstallerOptions::kShowHelp:
			fputs(InstallerOptions::UsageText(), stdout);
			return 0;
		case InstallerOptions::kShowVersion:
			puts(kVersion);
			return 0;
		case InstallerOptions::kUsageError:
			return UsageError(options.ErrorText());
		case InstallerOptions::kRun:
			break;
	}

	if (!options.fRoot.empty()
		&& set_system_root(options.fRoot.c_str()) != B_OK) {
		fprintf(stderr, "kestrovan-installer: %s cannot be the system root\n",
			options.fRoot.c_str());
		return 1;
	}
	if (!SelectDisplay(options))
		return 1;

	if (!options.fScreenshots.empty()) {
		std::error_code error;
		std::filesystem::create_directories(options.fScreenshots, error);
		if (error) {
			fprintf(stderr, "kestrovan-installer: %s: %s\n",
				options.fScreenshots.c_str(), error.message().c_str());
			return 1;
		}
	}

	InstallApp* app = MakeApplication(options);
	if (app == NULL)
		return 1;
	UnattendedDriver driver(options, options.fUnattended);
	if (options.fUnattended || !options.fScreenshots.empty())
		driver.Start();
	app->Run();
	driver.Stop();

	// 0 only when the last run completed: not when the package could not
	// be opened, the agreement was declined, the window was closed without
	// a run, or the last run stopped early, failed or was cancelled.
	bool completed = app->PackageOpened() && !app->AgreementDeclined()
		&& app->RunCompleted();
	int status = options.fUnattended ? driver.ExitStatus(completed) : completed ? 0 : 1;
	InstallApp::FreeGlobals();
	delete app;
	return status;
}
