// The installer program started where its windows cannot be seen (no
// display named, as over ssh; a display that is not there; one that never
// answers) and without --unattended: it says so, naming the options that
// run it without a display, and ends at once with the usage status instead
// of waiting for answers nobody can give.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kSamplePackage = SAMPLE_PACKAGE;

// The abstract socket X servers listen on, besides the one in /tmp/.X11-unix.
sockaddr_un
abstract_display_address(int number, socklen_t* length)
{
	sockaddr_un address = {};
	address.sun_family = AF_UNIX;
	std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
	memcpy(address.sun_path + 1, name.data(), name.size());
	*length = offsetof(sockaddr_un, sun_path) + 1 + name.size();
	return address;
}


// Whether no X server is found for display number: no socket or lock file,
// and nothing listening on its abstract socket.
bool
display_unused(int number)
{
	if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))
		|| std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
		return false;
	int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (probe < 0)
		return false;
	socklen_t length;
	sockaddr_un address = abstract_display_address(number, &length);
	bool refused = connect(probe, reinterpret_cast<sockaddr*>(&address), length) != 0
		&& errno == ECONNREFUSED;
	close(probe);
	return refused;
}


// An unused display name (":N"), or an empty string.
std::string
unused_display()
{
	for (int number = 480; number < 580; number++) {
		if (display_unused(number))
			return ":" + std::to_string(number);
	}
	return std::string();
}


// An X display that takes connections and never says a word, as a stopped
// server or a dead forwarding does: on an abstract socket, so that nothing
// is left in the file system.
class SilentDisplay {
public:
	SilentDisplay()
	{
		for (int number = 480; number < 580 && fSocket < 0; number++) {
			if (!display_unused(number))
				continue;
			int candidate = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
			socklen_t length;
			sockaddr_un address = abstract_display_address(number, &length);
			if (candidate >= 0
				&& bind(candidate, reinterpret_cast<sockaddr*>(&address), length) == 0
				&& listen(candidate, 16) == 0) {
				fSocket = candidate;
				fName = ":" + std::to_string(number);
			} else if (candidate >= 0) {
				close(candidate);
			}
		}
	}

	~SilentDisplay()
	{
		if (fSocket >= 0)
			close(fSocket);
	}

	// Empty when no display number was free.
	const std::string& Name() const { return fName; }

private:
	int fSocket = -1;
	std::string fName;
};


class NoDisplayTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		fRoot = fScratch / "root";
		std::filesystem::create_directories(fRoot + "/boot");
	}

	// The installer on the sample package with only the environment given
	// (and the sanitizers' settings), killed when it hangs.
	ProgramRun Run(const std::vector<std::string>& options,
		const std::vector<std::string>& environment)
	{
		std::vector<std::string> words = {kProgram, "--root", fRoot};
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(kSamplePackage);
		std::vector<std::string> variables = environment;
		variables.push_back("PATH=/usr/bin:/bin");
		for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS",
			 "TSAN_OPTIONS"}) {
			if (const char* value = getenv(name))
				variables.push_back(std::string(name) + "=" + value);
		}
		return RunProgram(words, fScratch / "errors.txt", &variables);
	}

	// Refused at once: the usage status, a message naming both ways to
	// run without a display, and nothing installed.
	void ExpectRefused(const ProgramRun& run)
	{
		ASSERT_FALSE(run.hung) << "the program waited for windows nobody sees\n"
			<< run.errors;
		EXPECT_EQ(run.status, 2) << run.errors;
		EXPECT_NE(run.errors.find("no display"), std::string::npos) << run.errors;
		EXPECT_NE(run.errors.find("--unattended"), std::string::npos) << run.errors;
		EXPECT_NE(run.errors.find("--display headless"), std::string::npos) << run.errors;
		EXPECT_FALSE(std::filesystem::exists(fRoot + "/boot/apps"));
	}

	ScratchDir fScratch;
	std::string fRoot;
};

} // namespace


TEST_F(NoDisplayTest, WithoutADisplayNamedTheProgramSaysSoAndEnds)
{
	// As over ssh: neither display variable.
	ExpectRefused(Run({}, {}));
	// Pictures of the windows do not make anyone answer them.
	ExpectRefused(Run({"--screenshots", fScratch / "pictures"}, {}));
	// Real windows asked for by option or by the environment.
	ExpectRefused(Run({"--display", "sdl"}, {}));
	ExpectRefused(Run({}, {"KESTROVAN_DISPLAY=sdl"}));
	// An empty variable names no display either.
	ExpectRefused(Run({}, {"DISPLAY=", "WAYLAND_DISPLAY="}));

	// Nobody needs to see an unattended run.
	ProgramRun run = Run({"--unattended", "--accept-license"}, {});
	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_TRUE(std::filesystem::exists(fRoot + "/boot/apps/Kestrovan Sample"));
	EXPECT_EQ(run.errors.find("no display"), std::string::npos) << run.errors;
}


TEST_F(NoDisplayTest, ADisplayThatIsNotThereEndsTheProgram)
{
	// No server on the display named: the program does not fall back to the
	// virtual screen and wait there.
	std::string nobody = unused_display();
	if (nobody.empty())
		GTEST_SKIP() << "no unused display number";
	ExpectRefused(Run({}, {"DISPLAY=" + nobody}));
	ExpectRefused(Run({"--display", "sdl"}, {"DISPLAY=" + nobody}));
}


TEST_F(NoDisplayTest, ADisplayThatNeverAnswersEndsTheProgram)
{
	SilentDisplay silent;
	if (silent.Name().empty())
		GTEST_SKIP() << "no free display number for a silent display";
	ExpectRefused(Run({"--display", "sdl"}, {"DISPLAY=" + silent.Name()}));
}

