#include <DisplayBackend.h>
#include <InterfaceDefs.h>
#include <SdlBackend.h>
#include <SdlInput.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

// The desktop's keys, modifiers and buttons as the platform knows them, and
// how the sdl backend is chosen. None of this needs a display.

using namespace BPrivate;

namespace {

// Sets or clears an environment variable for one scope.
class ScopedVariable {
public:
	ScopedVariable(const char* name, const char* value)
		:
		fName(name)
	{
		if (const char* old = getenv(name))
			fOld = old;
		if (value != nullptr)
			setenv(name, value, 1);
		else
			unsetenv(name);
	}
	~ScopedVariable()
	{
		if (fOld)
			setenv(fName.c_str(), fOld->c_str(), 1);
		else
			unsetenv(fName.c_str());
	}

private:
	std::string fName;
	std::optional<std::string> fOld;
};

} // namespace

TEST(SdlInputTest, SpecialKeysMakeThePlatformsBytes)
{
	EXPECT_EQ(sdl_key_bytes(SDLK_RETURN), std::string(1, B_ENTER));
	EXPECT_EQ(sdl_key_bytes(SDLK_KP_ENTER), "\n");
	EXPECT_EQ(sdl_key_bytes(SDLK_ESCAPE), std::string(1, 27));
	EXPECT_EQ(sdl_key_bytes(SDLK_TAB), "\t");
	EXPECT_EQ(sdl_key_bytes(SDLK_BACKSPACE), std::string(1, 8));
	EXPECT_EQ(sdl_key_bytes(SDLK_DELETE), std::string(1, 127));
	EXPECT_EQ(sdl_key_bytes(SDLK_HOME), std::string(1, 1));
	EXPECT_EQ(sdl_key_bytes(SDLK_END), std::string(1, 4));
	EXPECT_EQ(sdl_key_bytes(SDLK_PAGEUP), std::string(1, 11));
	EXPECT_EQ(sdl_key_bytes(SDLK_PAGEDOWN), std::string(1, 12));
	EXPECT_EQ(sdl_key_bytes(SDLK_LEFT), std::string(1, 28));
	EXPECT_EQ(sdl_key_bytes(SDLK_RIGHT), std::string(1, 29));
	EXPECT_EQ(sdl_key_bytes(SDLK_UP), std::string(1, 30));
	EXPECT_EQ(sdl_key_bytes(SDLK_DOWN), std::string(1, 31));
	EXPECT_EQ(sdl_key_bytes(SDLK_F5), std::string(1, B_FUNCTION_KEY));
	// Keys that type come as text, modifiers make nothing by themselves.
	EXPECT_EQ(sdl_key_bytes(SDLK_a), "");
	EXPECT_EQ(sdl_key_bytes(SDLK_SPACE), "");
	EXPECT_EQ(sdl_key_bytes(SDLK_LSHIFT), "");
}

TEST(SdlInputTest, ChordsWithControlOrAltMakeBytesWithoutText)
{
	EXPECT_EQ(sdl_chord_bytes(SDLK_a, B_CONTROL_KEY), std::string(1, 1));
	EXPECT_EQ(sdl_chord_bytes(SDLK_z, B_CONTROL_KEY | B_SHIFT_KEY), std::string(1, 26));
	EXPECT_EQ(sdl_chord_bytes(SDLK_q, B_COMMAND_KEY), "q");
	EXPECT_EQ(sdl_chord_bytes(SDLK_q, B_COMMAND_KEY | B_SHIFT_KEY), "Q");
	EXPECT_EQ(sdl_chord_bytes(SDLK_1, B_COMMAND_KEY), "1");
	// Without Control or Alt the key types text instead.
	EXPECT_EQ(sdl_chord_bytes(SDLK_a, 0), "");
	EXPECT_EQ(sdl_chord_bytes(SDLK_a, B_SHIFT_KEY), "");
	EXPECT_EQ(sdl_chord_bytes(SDLK_a, B_OPTION_KEY), "");
	// Keys beyond ASCII make nothing.
	EXPECT_EQ(sdl_chord_bytes(SDLK_F1, B_CONTROL_KEY), "");
	EXPECT_EQ(sdl_chord_bytes(SDLK_LSHIFT, B_COMMAND_KEY), "");
}

TEST(SdlInputTest, PhysicalKeysGetThePlatformsKeyCodes)
{
	// The codes the automation also uses for these keys.
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_ESCAPE), 0x01);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_F1), 0x02);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_F12), 0x0d);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_1), 0x12);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_9), 0x1a);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_0), 0x1b);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_BACKSPACE), 0x1e);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_TAB), 0x26);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_Q), 0x27);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_P), 0x30);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_A), 0x3c);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_L), 0x44);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_RETURN), 0x47);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_Z), 0x4c);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_M), 0x52);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_SPACE), 0x5e);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_UP), 0x57);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_LEFT), 0x61);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_DOWN), 0x62);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_RIGHT), 0x63);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_HOME), 0x20);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_END), 0x35);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_PAGEUP), 0x21);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_PAGEDOWN), 0x36);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_DELETE), 0x34);
	EXPECT_EQ(sdl_key_code(SDL_SCANCODE_UNKNOWN), 0);
}

TEST(SdlInputTest, ModifiersAndButtons)
{
	EXPECT_EQ(sdl_modifiers(KMOD_NONE), 0u);
	EXPECT_EQ(sdl_modifiers(KMOD_LSHIFT), uint32(B_SHIFT_KEY | B_LEFT_SHIFT_KEY));
	EXPECT_EQ(sdl_modifiers(KMOD_RCTRL), uint32(B_CONTROL_KEY | B_RIGHT_CONTROL_KEY));
	// Alt is the command key, the logo key the option key.
	EXPECT_EQ(sdl_modifiers(KMOD_LALT), uint32(B_COMMAND_KEY | B_LEFT_COMMAND_KEY));
	EXPECT_EQ(sdl_modifiers(KMOD_RGUI), uint32(B_OPTION_KEY | B_RIGHT_OPTION_KEY));
	EXPECT_EQ(sdl_modifiers(KMOD_LSHIFT | KMOD_RSHIFT | KMOD_CAPS | KMOD_NUM),
		uint32(B_SHIFT_KEY | B_LEFT_SHIFT_KEY | B_RIGHT_SHIFT_KEY | B_CAPS_LOCK
			| B_NUM_LOCK));

	EXPECT_EQ(sdl_button(SDL_BUTTON_LEFT), uint32(B_PRIMARY_MOUSE_BUTTON));
	EXPECT_EQ(sdl_button(SDL_BUTTON_RIGHT), uint32(B_SECONDARY_MOUSE_BUTTON));
	EXPECT_EQ(sdl_button(SDL_BUTTON_MIDDLE), uint32(B_TERTIARY_MOUSE_BUTTON));
	EXPECT_EQ(sdl_button(SDL_BUTTON_X1), 8u);
}


// SDL turns the wheel up positive; the platform scrolls down positive, and a
// flipped wheel (natural scrolling) turns both round.
TEST(SdlInputTest, WheelTurnsScrollDownPositive)
{
	float x = 0, y = 0;
	sdl_wheel_deltas(0, 1, false, &x, &y);
	EXPECT_EQ(x, 0);
	EXPECT_EQ(y, -1);
	sdl_wheel_deltas(2, -3, false, &x, &y);
	EXPECT_EQ(x, 2);
	EXPECT_EQ(y, 3);
	sdl_wheel_deltas(2, -3, true, &x, &y);
	EXPECT_EQ(x, -2);
	EXPECT_EQ(y, -3);
}

TEST(SdlInputTest, AskingForTheDesktopWithoutADisplayFailsClearly)
{
	ASSERT_EQ(DisplayBackend::Select("headless"), B_OK);
	DisplayBackend* before = DisplayBackend::Default();
	{
		ScopedVariable display("DISPLAY", nullptr);
		ScopedVariable wayland("WAYLAND_DISPLAY", nullptr);
		EXPECT_FALSE(SdlBackend::DisplayNamed());

		testing::internal::CaptureStderr();
		EXPECT_NE(DisplayBackend::Select("sdl"), B_OK);
		std::string message = testing::internal::GetCapturedStderr();
		EXPECT_NE(message.find("sdl"), std::string::npos) << message;
		EXPECT_NE(message.find("DISPLAY"), std::string::npos) << message;
		// The caller decides what to do: the backend in use stays.
		EXPECT_EQ(DisplayBackend::Default(), before);
		EXPECT_STREQ(DisplayBackend::Default()->Name(), "headless");

		// Unasked, a machine without a display gets the headless one.
		ScopedVariable chosen("KESTROVAN_DISPLAY", nullptr);
		EXPECT_EQ(DisplayBackend::Select(nullptr), B_OK);
		EXPECT_STREQ(DisplayBackend::Default()->Name(), "headless");

		// Asked for by the environment, it fails the same way.
		ScopedVariable asked("KESTROVAN_DISPLAY", "sdl");
		testing::internal::CaptureStderr();
		EXPECT_NE(DisplayBackend::Select(nullptr), B_OK);
		EXPECT_NE(testing::internal::GetCapturedStderr().find("not available"),
			std::string::npos);
	}
	{
		// A display that is named but does not answer.
		ScopedVariable display("DISPLAY", ":4093");
		ScopedVariable wayland("WAYLAND_DISPLAY", nullptr);
		ScopedVariable chosen("KESTROVAN_DISPLAY", nullptr);
		std::string error;
		EXPECT_EQ(SdlBackend::Open(&error), nullptr);
		EXPECT_FALSE(error.empty());

		testing::internal::CaptureStderr();
		int argc = 3;
		char program[] = "installer";
		char option[] = "--display=sdl";
		char other[] = "--unattended";
		char* argv[] = {program, option, other, nullptr};
		EXPECT_NE(DisplayBackend::SelectFromArguments(&argc, argv), B_OK);
		testing::internal::GetCapturedStderr();
		EXPECT_EQ(argc, 2);
		EXPECT_STREQ(argv[1], "--unattended");

		// Unasked, the default falls back to no screen.
		EXPECT_EQ(DisplayBackend::Select(nullptr), B_OK);
		EXPECT_STREQ(DisplayBackend::Default()->Name(), "headless");
	}
}
