// The program in its windows on a Wayland desktop without X: weston's
// headless compositor, the sdl display through SDL's Wayland driver, a
// person's clicks made for it ("Agree", "Begin", the closing question),
// and an install that runs to its end. Skipped, saying why, where weston
// or the tests' seat module for it is missing.

#include <ProgramRun.h>
#include <SanitizerBuild.h>
#include <ScratchDir.h>
#include <WestonServer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// The program's environment on the compositor, with no X to fall back on.
std::vector<std::string>
WaylandEnvironment(const WestonServer& server, const ScratchDir& scratch)
{
	std::vector<std::string> environment = SanitizerEnvironment();
	environment.push_back("PATH=/usr/bin:/bin");
	environment.push_back("HOME=" + scratch.Path());
	environment.push_back("XDG_RUNTIME_DIR=" + server.RuntimeFolder());
	environment.push_back("WAYLAND_DISPLAY=" + server.Socket());
	return environment;
}

} // namespace

TEST(WaylandInstallTest, AnInstallInTheProgramsWindowsRunsToItsEndOnWeston)
{
	std::string missing = WestonServer::Missing();
	if (!missing.empty())
		GTEST_SKIP() << missing;
	// Sanitized, the whole program on weston goes through SDL's Wayland
	// driver and Mesa's software renderer, which the sanitizers report on
	// by themselves when the machine is busy; the regular build runs it.
	if (built_with_sanitizers())
		GTEST_SKIP() << "run by the build without sanitizers";
	WestonServer server;
	std::string error;
	ASSERT_TRUE(server.Start(&error)) << error;
	ScratchDir scratch;
	std::string root = scratch / "root";
	std::filesystem::create_directories(root + "/boot");

	// The client side of the Wayland protocol is written on standard
	// error, to see the windows the compositor got.
	std::vector<std::string> environment = WaylandEnvironment(server, scratch);
	environment.push_back("KESTROVAN_DISPLAY=sdl");
	environment.push_back("WAYLAND_DEBUG=client");
	ProgramRun run = RunProgram({KESTROVAN_WINDOWED_INSTALLER, "begin", "--root", root,
		SAMPLE_PACKAGE}, scratch / "errors.txt", &environment);

	// The protocol trace is long; how the program ended is at its end.
	size_t tail = run.errors.size() > 6000 ? run.errors.size() - 6000 : 0;
	EXPECT_EQ(0, run.status) << (run.hung ? "hung" : "") << " signal " << run.signal
		<< "\n" << run.errors.substr(tail);
	EXPECT_TRUE(std::filesystem::exists(
		root + "/boot/apps/Kestrovan Sample/Kestrovan Sample"));
	// The windows were toplevels of the compositor's, titled with the
	// package's name (the agreement's title begins with it), and drawn into.
	EXPECT_NE(std::string::npos, run.errors.find("xdg_wm_base@")) << "not on Wayland";
	EXPECT_NE(std::string::npos, run.errors.find(".set_title(\"Kestrovan Sample"));
	EXPECT_NE(std::string::npos, run.errors.find(".attach(wl_buffer@"));
}


// A compositor that offers no seat (nothing to click or type with) is no
// display for the windows: the program says so and ends with the usage
// status, where SDL's Wayland driver would have crashed.
TEST(WaylandInstallTest, ACompositorWithoutASeatIsNoDisplay)
{
	std::string missing = WestonServer::Missing();
	if (!missing.empty())
		GTEST_SKIP() << missing;
	WestonServer server;
	std::string error;
	WestonSetup setup;
	setup.seat = false;
	ASSERT_TRUE(server.Start(&error, setup)) << error;
	ScratchDir scratch;
	std::string root = scratch / "root";
	std::filesystem::create_directories(root + "/boot");

	std::vector<std::string> environment = WaylandEnvironment(server, scratch);
	ProgramRun run = RunProgram({KESTROVAN_INSTALLER_PROGRAM, "--root", root,
		SAMPLE_PACKAGE}, scratch / "errors.txt", &environment);

	ASSERT_FALSE(run.hung) << run.errors;
	EXPECT_EQ(run.signal, 0) << run.errors;
	EXPECT_EQ(run.status, 2) << run.errors;
	EXPECT_NE(std::string::npos, run.errors.find("offers no seat")) << run.errors;
	EXPECT_NE(std::string::npos, run.errors.find("no display")) << run.errors;
	EXPECT_FALSE(std::filesystem::exists(root + "/boot/apps"));
}
