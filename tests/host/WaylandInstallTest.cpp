// The program in its windows on a Wayland desktop without X: weston's
// headless compositor, the sdl display through SDL's Wayland driver, a
// person's clicks made for it ("Agree", "Begin", the closing question),
// and an install that runs to its end. Skipped, saying why, where weston
// or the tests' seat module for it is missing.

#include <ProgramRun.h>
#include <ScratchDir.h>
#include <WestonServer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

TEST(WaylandInstallTest, AnInstallInTheProgramsWindowsRunsToItsEndOnWeston)
{
	std::string missing = WestonServer::Missing();
	if (!missing.empty())
		GTEST_SKIP() << missing;
	WestonServer server;
	std::string error;
	ASSERT_TRUE(server.Start(&error)) << error;
	ScratchDir scratch;
	std::string root = scratch / "root";
	std::filesystem::create_directories(root + "/boot");

	// No X to fall back on; the client side of the Wayland protocol is
	// written on standard error, to see the windows the compositor got.
	// SDL's Wayland driver keeps memory past its end that the leak checker
	// would report; every other check of the sanitizers stays.
	std::vector<std::string> environment;
	for (const std::string& variable : SanitizerEnvironment()) {
		if (variable.rfind("ASAN_OPTIONS=", 0) != 0 && variable.rfind("LSAN_OPTIONS=", 0) != 0)
			environment.push_back(variable);
	}
	environment.push_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1");
	environment.push_back("PATH=/usr/bin:/bin");
	environment.push_back("HOME=" + scratch.Path());
	environment.push_back("XDG_RUNTIME_DIR=" + server.RuntimeFolder());
	environment.push_back("WAYLAND_DISPLAY=" + server.Socket());
	environment.push_back("KESTROVAN_DISPLAY=sdl");
	environment.push_back("WAYLAND_DEBUG=client");
	ProgramRun run = RunProgram({KESTROVAN_WINDOWED_INSTALLER, "begin", "--root", root,
		SAMPLE_PACKAGE}, scratch / "errors.txt", &environment);

	EXPECT_EQ(0, run.status) << (run.hung ? "hung" : "") << run.errors.substr(0, 4000);
	EXPECT_TRUE(std::filesystem::exists(
		root + "/boot/apps/Kestrovan Sample/Kestrovan Sample"));
	// The windows were toplevels of the compositor's, titled with the
	// package's name (the agreement's title begins with it), and drawn into.
	EXPECT_NE(std::string::npos, run.errors.find("xdg_wm_base@")) << "not on Wayland";
	EXPECT_NE(std::string::npos, run.errors.find(".set_title(\"Kestrovan Sample"));
	EXPECT_NE(std::string::npos, run.errors.find(".attach(wl_buffer@"));
}
