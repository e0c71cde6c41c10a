// The installer program as a user runs it: the sample installer, unattended,
// into fresh system roots, checked by its tree, bytes, attributes, log and
// exit status; and once under a real X server with real input.

#include <ScratchDir.h>

#include <Sha256.h>

#include <cairo.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

const std::string kInstaller = KESTROVAN_SAMPLE_INSTALLER;
const std::string kProgram = KESTROVAN_SAMPLE_PROGRAM;

struct RunResult {
	int status = -1;
	std::string errors;
};

std::string
Quoted(const std::string& text)
{
	std::string quoted = "'";
	for (char c : text)
		quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
	return quoted + "'";
}


std::string
ReadFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream contents;
	contents << in.rdbuf();
	return contents.str();
}


std::string
Attribute(const std::string& path, const char* name)
{
	char value[4096];
	ssize_t length = lgetxattr(path.c_str(), (std::string("user.") + name).c_str(),
		value, sizeof(value));
	return length < 0 ? std::string() : std::string(value, length);
}


class SampleInstallerTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch.Path() + "/root";
		std::filesystem::create_directories(fRoot + "/boot");
		std::filesystem::create_directories(fRoot + "/Data");
	}

	RunResult Install(const std::string& arguments,
		const std::string& program = kInstaller)
	{
		std::string errors = fScratch.Path() + "/stderr.txt";
		std::string command = Quoted(program) + " --root " + Quoted(fRoot) + " "
			+ arguments + " 2>" + Quoted(errors) + " >/dev/null </dev/null";
		RunResult run;
		int result = std::system(command.c_str());
		run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
		run.errors = ReadFile(errors);
		return run;
	}

	std::string Host(const std::string& path) const { return fRoot + path; }

	bool Exists(const std::string& path) const
	{
		struct stat st;
		return lstat(Host(path).c_str(), &st) == 0;
	}

	ScratchDir fScratch;
	std::string fRoot;
};

const char* const kUnattended = "--unattended --accept-license";
const std::string kTop = "/boot/apps/Kestrovan Sample";
const std::string kSettings
	= "/boot/home/config/settings/Kestrovan Sample settings";
const std::string kLog = "/boot/Kestrovan Sample Install Log";

} // namespace


TEST_F(SampleInstallerTest, InstallsEverythingWithItsAttributesAndLog)
{
	RunResult run = Install(kUnattended);
	ASSERT_EQ(0, run.status) << run.errors;
	EXPECT_NE(std::string::npos, run.errors.find("answer: Close")) << run.errors;

	// The program: its bytes, mode, signature, version and icons.
	const std::string program = Host(kTop + "/Kestrovan Sample");
	// The program as the author's folder held it: the built program with
	// its resources behind it.
	EXPECT_EQ(ReadFile(SAMPLE_STAGE "/Kestrovan Sample"), ReadFile(program));
	EXPECT_EQ(0u, ReadFile(program).find(ReadFile(kProgram)));
	struct stat st;
	ASSERT_EQ(0, stat(program.c_str(), &st));
	EXPECT_EQ(0755u, st.st_mode & 07777);
	EXPECT_EQ(std::string("application/x-vnd.kestrovan-sample\0", 35),
		Attribute(program, "BEOS:APP_SIG"));
	EXPECT_EQ(1024u, Attribute(program, "BEOS:L:STD_ICON").size());
	EXPECT_EQ(256u, Attribute(program, "BEOS:M:STD_ICON").size());
	EXPECT_EQ(340u * 2, Attribute(program, "BEOS:APP_VERSION").size());

	// The documentation with its type, the link, the settings file in the
	// settings folder of the same volume.
	EXPECT_EQ(ReadFile(SAMPLE_SOURCE "/docs/ReadMe.txt"),
		ReadFile(Host(kTop + "/docs/ReadMe.txt")));
	EXPECT_EQ("text/plain", Attribute(Host(kTop + "/docs/ReadMe.txt"), "mime_type"));
	EXPECT_EQ("docs/ReadMe.txt",
		std::filesystem::read_symlink(Host(kTop + "/Read Me")).string());
	EXPECT_EQ(ReadFile(SAMPLE_SOURCE "/Kestrovan Sample settings"),
		ReadFile(Host(kSettings)));
	EXPECT_FALSE(Exists(kTop + "/Kestrovan Sample settings"));

	// The script ran in the program's folder, its output in the log.
	std::string log = ReadFile(Host(kLog));
	EXPECT_EQ(0u, log.find("Installation: Kestrovan Sample\nStarted: ")) << log;
	EXPECT_NE(std::string::npos, log.find("Executing shell script setup\n")) << log;
	EXPECT_NE(std::string::npos,
		log.find("Kestrovan Sample set up in /boot/apps/Kestrovan Sample\n")) << log;
	EXPECT_NE(std::string::npos, log.find("\n\nCompleted: ")) << log;
	EXPECT_NE(std::string::npos, log.find("/boot/apps/Kestrovan Sample/docs/"
		"ReadMe.txt\n\tSize: 346 bytes\t\tType: text/plain\n")) << log;

	// Nothing is left of the run's temporary folder, nor of the folder
	// made for it; the receipt of the install stays.
	EXPECT_FALSE(Exists("/boot/var/tmp"));
	EXPECT_TRUE(Exists("/boot/var/kestrovan/receipts/Kestrovan Sample.json"));
}


TEST_F(SampleInstallerTest, AnswersFollowTheOptions)
{
	// Declined: nothing installed, status 1, no window of the package.
	RunResult declined = Install("--unattended");
	EXPECT_EQ(1, declined.status) << declined.errors;
	EXPECT_NE(std::string::npos, declined.errors.find("agreement: Disagree"));
	EXPECT_FALSE(Exists("/boot/apps"));

	// The other group, another volume.
	RunResult minimal = Install(std::string(kUnattended) + " --groups Minimal --volume Data");
	ASSERT_EQ(0, minimal.status) << minimal.errors;
	EXPECT_TRUE(Exists("/Data/apps/Kestrovan Sample/Kestrovan Sample"));
	EXPECT_FALSE(Exists("/Data/apps/Kestrovan Sample/docs"));
	EXPECT_TRUE(Exists("/Data/home/config/settings/Kestrovan Sample settings"));
	EXPECT_NE(std::string::npos, minimal.errors.find("groups: Minimal"));

	// Again on top: the folder is merged, the program asks (same version),
	// answered "rename".
	RunResult again = Install(std::string(kUnattended)
		+ " --groups Minimal --volume Data --existing rename");
	ASSERT_EQ(0, again.status) << again.errors;
	EXPECT_NE(std::string::npos, again.errors.find("replace dialog: An item named "
		"\"Kestrovan Sample\"\nwith a newer version already exists in\n"
		"\"/Data/apps/Kestrovan Sample\"")) << again.errors;
	EXPECT_TRUE(Exists("/Data/apps/Kestrovan Sample/Kestrovan Sample.old"));
	EXPECT_TRUE(Exists("/Data/apps/Kestrovan Sample/Kestrovan Sample"));

	// Unknown groups and volumes stop before anything is written.
	RunResult unknown = Install(std::string(kUnattended) + " --groups Nothing");
	EXPECT_EQ(1, unknown.status);
	EXPECT_NE(std::string::npos, unknown.errors.find("no group \"Nothing\""));
	EXPECT_FALSE(Exists("/boot/apps"));
}


TEST_F(SampleInstallerTest, AnAbsoluteFolderIsPickedInTheFilePanel)
{
	std::filesystem::create_directories(Host("/Data/tools/bin"));
	RunResult run = Install(std::string(kUnattended) + " --folder /Data/tools/bin");
	ASSERT_EQ(0, run.status) << run.errors;
	EXPECT_TRUE(Exists("/Data/tools/bin/Kestrovan Sample/Kestrovan Sample"));
	// The settings go with the volume of the folder.
	EXPECT_TRUE(Exists("/Data/home/config/settings/Kestrovan Sample settings"));
}


TEST_F(SampleInstallerTest, UsageErrorsAndUnusablePackages)
{
	EXPECT_EQ(2, Install("--existing sometimes").status);
	EXPECT_EQ(0, Install("--help").status);

	// A damaged package: its alert, no window, status 1.
	std::string damaged = fScratch.Path() + "/damaged.pkg";
	std::string bytes = ReadFile(SAMPLE_PACKAGE);
	bytes[3] = '\r';
	std::ofstream(damaged, std::ios::binary) << bytes;
	RunResult run = Install(std::string(kUnattended) + " " + Quoted(damaged));
	EXPECT_EQ(1, run.status);
	EXPECT_EQ(std::string::npos, run.errors.find("install window")) << run.errors;
	EXPECT_FALSE(run.errors.empty());

	// The stand-alone package installs like the installer does.
	RunResult plain = Install(std::string(kUnattended) + " " + Quoted(SAMPLE_PACKAGE));
	EXPECT_EQ(0, plain.status) << plain.errors;
	EXPECT_TRUE(Exists(kTop + "/Kestrovan Sample"));
}


// --scale: a usage error, said plainly, for anything but a factor from 1
// to 4; given one, every window is pictured at that many times its size.
TEST_F(SampleInstallerTest, TheScaleOptionPicturesEveryWindowAtTwiceItsSize)
{
	for (const char* value : {"0", "abc", "9", "2x", "-2"}) {
		RunResult wrong = Install(std::string(kUnattended) + " --scale " + value);
		EXPECT_EQ(2, wrong.status) << value;
		EXPECT_NE(std::string::npos, wrong.errors.find(
			std::string("--scale takes a number from 1 to 4 (such as 2 or 1.5), not ")
			+ value)) << wrong.errors;
	}
	EXPECT_FALSE(Exists(kLog));

	// The pictures' sizes by what they show (their names without the
	// number of their order, which timing decides).
	auto pictureSizes = [&](const std::string& scale) {
		std::string folder = fScratch.Path() + "/pictures-" + scale;
		std::filesystem::remove_all(fRoot);
		std::filesystem::create_directories(fRoot + "/boot");
		RunResult run = Install(std::string(kUnattended) + " --scale " + scale
			+ " --screenshots " + Quoted(folder));
		EXPECT_EQ(0, run.status) << run.errors;
		std::map<std::string, std::set<std::pair<int, int>>> sizes;
		for (const auto& entry : std::filesystem::directory_iterator(folder)) {
			std::string name = entry.path().filename().string();
			cairo_surface_t* picture
				= cairo_image_surface_create_from_png(entry.path().c_str());
			EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(picture)) << name;
			sizes[name.substr(name.find('-') + 1)].insert(std::make_pair(
				cairo_image_surface_get_width(picture),
				cairo_image_surface_get_height(picture)));
			cairo_surface_destroy(picture);
		}
		return sizes;
	};
	auto single = pictureSizes("1");
	auto twice = pictureSizes("2");
	for (const char* kind : {"agreement.png", "install-window.png", "Package_Help.png"}) {
		EXPECT_EQ(1u, single.count(kind)) << kind;
		EXPECT_EQ(1u, twice.count(kind)) << kind;
	}
	for (const auto& [kind, sizes] : twice) {
		if (single.count(kind) == 0)
			continue;
		std::set<std::pair<int, int>> doubled;
		for (const auto& [width, height] : single[kind])
			doubled.insert(std::make_pair(2 * width, 2 * height));
		EXPECT_EQ(doubled, sizes) << kind;
	}
}


// The update finds both installed copies of the program by a query, asks
// which one to patch, shows the file in the patch window and patches it.
TEST_F(SampleInstallerTest, TheUpdatePatchesTheChosenCopy)
{
	ASSERT_EQ(0, Install(kUnattended).status);
	ASSERT_EQ(0, Install(std::string(kUnattended) + " --folder home").status);
	const std::string apps = kTop + "/Kestrovan Sample";
	const std::string home = "/boot/home/Kestrovan Sample/Kestrovan Sample";
	const std::string original = ReadFile(Host(apps));

	RunResult update = Install("--unattended --choose 1 --keep-originals "
		+ Quoted(SAMPLE_UPDATE));
	ASSERT_EQ(0, update.status) << update.errors;
	EXPECT_NE(std::string::npos, update.errors.find(
		"chooser: Kestrovan Sample returned multiple search results.\n"
		"  0: " + apps + "\n  1: " + home + "\n"
		"answer: " + home + ", Continue\n")) << update.errors;
	EXPECT_NE(std::string::npos, update.errors.find(
		"patch window: Patches will be applied to the following:\n  " + home
		+ "\nanswer: Continue (keeping the original files)")) << update.errors;

	// The chosen copy is 1.1 now, its 1.0 kept beside it; the other copy
	// is untouched; the note went to the chosen folder.
	EXPECT_EQ(ReadFile(SAMPLE_NEW_PROGRAM), ReadFile(Host(home)));
	EXPECT_EQ(original, ReadFile(Host(home + ".old")));
	EXPECT_EQ(original, ReadFile(Host(apps)));
	EXPECT_TRUE(Exists("/boot/home/Kestrovan Sample/What is new.txt"));
	EXPECT_FALSE(Exists(kTop + "/What is new.txt"));

	// A chooser answer past the matches stops before anything is written.
	RunResult wrong = Install("--unattended --choose 7 " + Quoted(SAMPLE_UPDATE));
	EXPECT_EQ(1, wrong.status);
	EXPECT_NE(std::string::npos, wrong.errors.find("answer: Cancel")) << wrong.errors;
}


// A real X server and real input: the sdl display, "Agree", "Begin" and the
// closing question's "Close" pressed with the X server's own input.
TEST_F(SampleInstallerTest, InstallsUnderARealDisplayWithRealInput)
{
	if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") != 0)
		GTEST_SKIP() << "Xvfb or xdotool is not installed";

	const char* display = ":73";
	std::string server = std::string("Xvfb ") + display
		+ " -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & echo $!";
	FILE* started = popen(server.c_str(), "r");
	int serverPid = 0;
	ASSERT_EQ(1, fscanf(started, "%d", &serverPid));
	pclose(started);
	std::this_thread::sleep_for(std::chrono::seconds(1));

	std::string script = fScratch.Path() + "/drive.sh";
	std::ofstream(script) <<
		"export DISPLAY=" << display << "\n"
		"set -e\n"
		// Enter presses the agreement's default button, "Agree".
		"w=$(xdotool search --sync --onlyvisible --name "
			"'^Kestrovan Sample: License Agreement$' | head -n1)\n"
		"xdotool windowfocus $w; sleep 0.3; xdotool key Return\n"
		"w=$(xdotool search --sync --onlyvisible --name '^Kestrovan Sample$' | head -n1)\n"
		"sleep 1\n"
		"xdotool mousemove --window $w 426 288 click 1\n"
		// The closing question, an alert that the desktop lists under the
		// package's name, as the install window: "Close" is its default
		// button.
		"for i in $(seq 1 150); do\n"
		"  a=$(xdotool search --onlyvisible --name '^Kestrovan Sample$' | grep -vx \"$w\" "
		"| tail -n1)\n"
		"  [ -n \"$a\" ] && grep -qs Completed " << Quoted(Host(kLog)) << " && break\n"
		"  sleep 0.2\n"
		"done\n"
		"sleep 0.5\n"
		"xdotool windowfocus $a; sleep 0.3; xdotool key Return\n";
	std::string command = "DISPLAY=" + std::string(display) + " timeout 60 "
		+ Quoted(kInstaller) + " --display sdl --root " + Quoted(fRoot)
		+ " 2>" + Quoted(fScratch.Path() + "/stderr.txt") + " & installer=$!; "
		+ "timeout 60 sh " + Quoted(script) + "; wait $installer";
	int result = std::system(command.c_str());
	kill(serverPid, SIGTERM);
	EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == 0)
		<< ReadFile(fScratch.Path() + "/stderr.txt");
	EXPECT_TRUE(Exists(kTop + "/Kestrovan Sample"));
	EXPECT_NE(std::string::npos, ReadFile(Host(kLog)).find("Completed: "));
}


// What a completed run leaves on its volume: a receipt of every item as it
// is on the disk (the digests those of the files there), the link's target,
// the folders the run made, the script and where it ran; an update's
// receipt names the original it patched.
TEST_F(SampleInstallerTest, ReceiptsRecordWhatTheRunsDid)
{
	ASSERT_EQ(0, Install(kUnattended).status);
	nlohmann::json receipt = nlohmann::json::parse(
		ReadFile(Host("/boot/var/kestrovan/receipts/Kestrovan Sample.json")), nullptr, false);
	ASSERT_TRUE(receipt.is_object());
	EXPECT_EQ(receipt["package"]["name"], "Kestrovan Sample");
	EXPECT_EQ(receipt["volume"], "boot");
	EXPECT_EQ(receipt["install_folder"], "/boot/apps");
	EXPECT_EQ(receipt["scripts"], nlohmann::json::parse(
		R"([{"name": "setup", "folder": "/boot/apps/Kestrovan Sample"}])"));
	std::map<std::string, nlohmann::json> items;
	for (const nlohmann::json& item : receipt["items"])
		items[item["path"].get<std::string>()] = item;
	ASSERT_EQ(items.count(kTop + "/Read Me"), 1u);
	EXPECT_EQ(items[kTop + "/Read Me"]["kind"], "link");
	EXPECT_EQ(items[kTop + "/Read Me"]["link_target"], "docs/ReadMe.txt");
	// The system folder the settings went into was made by the run.
	EXPECT_EQ(items["/boot/home/config/settings"]["kind"], "folder");
	int32 files = 0;
	for (const auto& [path, item] : items) {
		EXPECT_EQ(item["existing"], "none") << path;
		if (item["kind"] != "file")
			continue;
		files++;
		std::string contents = ReadFile(Host(path));
		EXPECT_EQ(item["sha256"], sha256_of_data(contents.data(), contents.size())) << path;
		EXPECT_EQ(item["size"], contents.size()) << path;
	}
	EXPECT_EQ(files, 4);

	ASSERT_EQ(0, Install(std::string(kUnattended) + " " + Quoted(SAMPLE_UPDATE)).status);
	nlohmann::json update = nlohmann::json::parse(
		ReadFile(Host("/boot/var/kestrovan/receipts/Kestrovan Sample Update.json")), nullptr,
		false);
	ASSERT_TRUE(update.is_object());
	bool patched = false;
	for (const nlohmann::json& item : update["items"]) {
		if (item["path"] != kTop + "/Kestrovan Sample")
			continue;
		patched = item["existing"] == "patched"
			&& item["original"] == kTop + "/Kestrovan Sample";
		std::string contents = ReadFile(Host(kTop + "/Kestrovan Sample"));
		EXPECT_EQ(item["sha256"], sha256_of_data(contents.data(), contents.size()));
	}
	EXPECT_TRUE(patched) << update.dump(1);
	// The first package's receipt stays as it was written.
	EXPECT_EQ(nlohmann::json::parse(ReadFile(
		Host("/boot/var/kestrovan/receipts/Kestrovan Sample.json"))), receipt);
}
