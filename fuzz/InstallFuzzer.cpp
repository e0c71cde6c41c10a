// Fuzzes the install engine: each input is a package, installed by the real
// install worker into a scratch system root with nobody at the windows
// (every alert answered with its first button, as "--on-error continue"
// would; replacements replace; the patch window and the results chooser
// answered by the unattended driver), then checked for containment.
//
// The scratch folder holds the system root, a sibling folder "outside" and
// the input's package file. The root starts every input the same: the
// volumes boot and Data, the folders of a fresh system, an installed "Tool"
// with an original for the seed patches and a file that the seeds replace,
// and links out of the root (one relative, one to the host path of
// "outside") where a careless engine would write through them. After the
// run, nothing outside the root may have changed: not the scratch folder's
// entries, not anything in "outside", and no host node that a link left in
// the root points to. A change aborts, with what changed on standard error.
//
// The engine runs on the fuzzer's own thread (the install worker's run, as
// its looper would carry it out for the install window's message) without
// a progress window. Packages that carry an install script are passed over:
// a script is the author's program, run as it is in its sandbox, and mutated
// shell text run as root on the fuzzing machine tests nothing of the engine.

#include "FuzzScratch.h"
#include "HostTreeSnapshot.h"

#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallLooper.h"
#include "InstallPack.h"
#include "InstallerOptions.h"
#include "PackAttrib.h"
#include "UnattendedDriver.h"

#include <Directory.h>
#include <DisplayBackend.h>
#include <EntryRef.h>
#include <Message.h>
#include <Node.h>
#include <SystemRoot.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// The tag of an install script's catalog group ('ScrI', big-endian).
const char kScriptTag[] = "ScrI";

std::string gScratch;
std::string gRoot;
std::string gOutside;
std::string gPackagePath;
// Standard error as it was before the fuzzer closed it for the program.
int gReportFd = -1;
UnattendedDriver* gDriver = nullptr;


[[noreturn]] void
Escaped(const std::string& what)
{
	dprintf(gReportFd, "==containment== written outside the system root: %s\n",
		what.c_str());
	abort();
}


// The original that the seed patches were made from (fuzz/make-corpus
// writes the same lines).
std::string
SeedOriginal()
{
	std::string text;
	for (int line = 1; line <= 40; line++)
		text += "original line " + std::to_string(line) + "\n";
	return text;
}


// The root as every input finds it. The volumes' folders themselves stay:
// only what they hold is made anew.
void
ResetRoot()
{
	std::error_code ignored;
	for (const char* volume : {"boot", "Data"}) {
		for (const fs::directory_entry& entry
				: fs::directory_iterator(gRoot + "/" + volume, ignored))
			fs::remove_all(entry.path(), ignored);
	}
	std::string boot = gRoot + "/boot/";
	for (const char* folder : {"apps/Tool", "home/Desktop", "var/tmp"})
		fs::create_directories(boot + folder, ignored);
	std::string original = SeedOriginal();
	FuzzScratch::WriteFile(boot + "apps/Tool/data.txt", original);
	FuzzScratch::WriteFile(boot + "apps/data.txt", original);
	FuzzScratch::WriteFile(boot + "apps/Tool/readme", "installed before\n");
	fs::create_symlink("../../../outside", boot + "apps/Outside", ignored);
	fs::create_symlink(gOutside, boot + "home/Outside", ignored);
	fs::create_symlink(gOutside + "/keep", gRoot + "/Data/keep", ignored);
}


void
MakeOutside()
{
	fs::create_directories(gOutside + "/Tool");
	FuzzScratch::WriteFile(gOutside + "/keep", "not the engine's\n");
	FuzzScratch::WriteFile(gOutside + "/data.txt", SeedOriginal());
	FuzzScratch::WriteFile(gOutside + "/Tool/data.txt", SeedOriginal());
}


// The host node a link in the root names, as the host would resolve it.
fs::path
HostTarget(const fs::path& link)
{
	std::error_code error;
	fs::path target = fs::read_symlink(link, error);
	if (error)
		return fs::path();
	if (target.is_relative())
		target = link.parent_path() / target;
	fs::path resolved = fs::weakly_canonical(target, error);
	return error ? fs::path() : resolved;
}


bool
IsBelow(const fs::path& path, const std::string& folder)
{
	const std::string& text = path.native();
	return text.compare(0, folder.size(), folder) == 0
		&& (text.size() == folder.size() || text[folder.size()] == '/');
}


// Whether a host node changed at or after `since` (the file system's
// coarse clock). Folders that anyone may write in (sticky, such as /tmp)
// change all the time and are not taken as evidence.
bool
ChangedSince(const fs::path& path, const timespec& since)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return false;
	if (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0)
		return false;
	auto atOrAfter = [&](const timespec& time) {
		return time.tv_sec > since.tv_sec
			|| (time.tv_sec == since.tv_sec && time.tv_nsec >= since.tv_nsec);
	};
	return atOrAfter(st.st_mtim) || atOrAfter(st.st_ctim);
}


// Links in the root that point out of it, to a host node that changed
// during the run: the engine wrote through them. Links into the scratch
// folder are covered by its snapshots.
void
CheckLinksOut(const timespec& runStart)
{
	std::error_code error;
	fs::recursive_directory_iterator walk(gRoot, error);
	for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
		if (!walk->is_symlink(error))
			continue;
		fs::path target = HostTarget(walk->path());
		if (target.empty() || IsBelow(target, gRoot) || IsBelow(target, gScratch))
			continue;
		if (ChangedSince(target, runStart)) {
			Escaped(walk->path().native() + " points to " + target.native()
				+ ", which changed during the run");
		}
	}
}


dev_t
DeviceOf(const char* path)
{
	BDirectory directory(path);
	node_ref ref;
	if (directory.GetNodeRef(&ref) != B_OK)
		return -1;
	return ref.device;
}


// One run as the install window starts it on "Begin": the attributes read,
// a destination manager prepared for the install folder "apps" on the boot
// volume, every group selected, and the install message carried out.
void
Install(InstallPack& pack)
{
	PackAttrib attrib;
	status_t status = pack.NewReadAttributes(&attrib);
	pack.ClearFile();
	if (status < 0)
		return;
	attrib.fInstallFolderGroups = ~0u;

	DestManager manager(&attrib);
	char installFolder[] = "apps";
	if (!manager.SetupInstall(nullptr, installFolder, DeviceOf("/boot"), nullptr, false))
		return;
	manager.fLogging = true;
	// The replace dialog's answer for every item, as after "Replace" with
	// "Don't ask again": no dialog comes up.
	manager.fDontAsk = true;
	manager.fReplaceChoice = kReplaceExistingChoice;

	InstallLooper worker(&pack);
	BMessage install(kInstallMessage);
	install.AddPointer("archive item", nullptr);
	install.AddInt32("groups", (int32)~0u);
	install.AddInt64("bytes", 0);
	install.AddInt32("item count", 0);
	install.AddPointer("destinations", &manager);
	worker.DoExtractItems(&install);
}

} // namespace


extern "C" int
LLVMFuzzerInitialize(int*, char***)
{
	// Before the fuzzer closes standard error for the program: a
	// containment failure is reported there.
	gReportFd = dup(STDERR_FILENO);
	SetAlertSink(StandardErrorAlertSink());
	if (BPrivate::DisplayBackend::Select("headless") != B_OK)
		abort();

	gScratch = FuzzScratch::Make("install");
	gRoot = gScratch + "/root";
	gOutside = gScratch + "/outside";
	gPackagePath = gScratch + "/input.pkg";
	fs::create_directories(gRoot + "/boot");
	fs::create_directories(gRoot + "/Data");
	MakeOutside();
	if (set_system_root(gRoot.c_str()) != B_OK)
		abort();

	const char* answers[] = {"--unattended", "--existing", "replace", "--on-error",
		"continue", "--choose", "0"};
	InstallerOptions options;
	if (options.Parse(sizeof(answers) / sizeof(answers[0]), answers)
			!= InstallerOptions::kRun)
		abort();
	gDriver = new UnattendedDriver(options, true);
	gDriver->Start();

	atexit([] {
		delete gDriver;
		gDriver = nullptr;
	});
	return 0;
}


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (memmem(data, size, kScriptTag, strlen(kScriptTag)) != nullptr)
		return 0;
	FuzzScratch::WriteFile(gPackagePath, data, size);
	ResetRoot();

	HostTreeSnapshot scratchBefore(gScratch, false, {"root"});
	HostTreeSnapshot outsideBefore(gOutside, true);
	timespec runStart;
	clock_gettime(CLOCK_REALTIME_COARSE, &runStart);

	entry_ref ref;
	if (get_ref_for_host_path(gPackagePath.c_str(), &ref) != B_OK)
		abort();
	{
		InstallPack pack(ref, false);
		// Both ways of reading node data: decoded ahead on a thread of its
		// own (the installer's way) for inputs of odd size, read in step
		// for the others; a fresh decoder costs more than a small run.
		pack.SetDecodeAhead(size % 2 == 1);
		if (pack.fEntry != nullptr)
			Install(pack);
	}

	std::string change = scratchBefore.ChangeTo(HostTreeSnapshot(gScratch, false, {"root"}));
	if (change.empty())
		change = outsideBefore.ChangeTo(HostTreeSnapshot(gOutside, true));
	if (!change.empty())
		Escaped(change);
	CheckLinksOut(runStart);
	return 0;
}
