#include <SdlInput.h>

#include <InterfaceDefs.h>

namespace BPrivate {

std::string
sdl_key_bytes(SDL_Keycode key)
{
	char byte;
	switch (key) {
		case SDLK_RETURN:
		case SDLK_RETURN2:
		case SDLK_KP_ENTER:
			byte = B_ENTER;
			break;
		case SDLK_ESCAPE:
			byte = B_ESCAPE;
			break;
		case SDLK_TAB:
			byte = B_TAB;
			break;
		case SDLK_BACKSPACE:
			byte = B_BACKSPACE;
			break;
		case SDLK_DELETE:
			byte = B_DELETE;
			break;
		case SDLK_INSERT:
			byte = B_INSERT;
			break;
		case SDLK_HOME:
			byte = B_HOME;
			break;
		case SDLK_END:
			byte = B_END;
			break;
		case SDLK_PAGEUP:
			byte = B_PAGE_UP;
			break;
		case SDLK_PAGEDOWN:
			byte = B_PAGE_DOWN;
			break;
		case SDLK_LEFT:
			byte = B_LEFT_ARROW;
			break;
		case SDLK_RIGHT:
			byte = B_RIGHT_ARROW;
			break;
		case SDLK_UP:
			byte = B_UP_ARROW;
			break;
		case SDLK_DOWN:
			byte = B_DOWN_ARROW;
			break;
		default:
			if (key >= SDLK_F1 && key <= SDLK_F12) {
				byte = B_FUNCTION_KEY;
				break;
			}
			return std::string();
	}
	return std::string(1, byte);
}

std::string
sdl_chord_bytes(SDL_Keycode key, uint32 modifiers)
{
	// SDL's codes for the keys that type ASCII are the characters they
	// type unshifted.
	if (key < SDLK_SPACE || key >= SDLK_DELETE)
		return std::string();
	char byte = static_cast<char>(key);
	bool shifted = (modifiers & B_SHIFT_KEY) != 0;
	if (byte >= 'a' && byte <= 'z') {
		if ((modifiers & B_CONTROL_KEY) != 0)
			return std::string(1, static_cast<char>(byte & 0x1f));
		if (shifted)
			byte = static_cast<char>(byte - 'a' + 'A');
	}
	if ((modifiers & (B_CONTROL_KEY | B_COMMAND_KEY)) == 0)
		return std::string();
	return std::string(1, byte);
}

int32
sdl_key_code(SDL_Scancode scancode)
{
	// The rows of the keyboard, each numbered left to right.
	static const struct {
		SDL_Scancode first;
		SDL_Scancode last;
		int32 code;
	} kRuns[] = {
		{SDL_SCANCODE_F1, SDL_SCANCODE_F12, 0x02},
		{SDL_SCANCODE_1, SDL_SCANCODE_9, 0x12},
		{SDL_SCANCODE_Q, SDL_SCANCODE_Q, 0x27},
		{SDL_SCANCODE_W, SDL_SCANCODE_W, 0x28},
		{SDL_SCANCODE_E, SDL_SCANCODE_E, 0x29},
		{SDL_SCANCODE_R, SDL_SCANCODE_R, 0x2a},
		{SDL_SCANCODE_T, SDL_SCANCODE_T, 0x2b},
		{SDL_SCANCODE_Y, SDL_SCANCODE_Y, 0x2c},
		{SDL_SCANCODE_U, SDL_SCANCODE_U, 0x2d},
		{SDL_SCANCODE_I, SDL_SCANCODE_I, 0x2e},
		{SDL_SCANCODE_O, SDL_SCANCODE_O, 0x2f},
		{SDL_SCANCODE_P, SDL_SCANCODE_P, 0x30},
		{SDL_SCANCODE_A, SDL_SCANCODE_A, 0x3c},
		{SDL_SCANCODE_S, SDL_SCANCODE_S, 0x3d},
		{SDL_SCANCODE_D, SDL_SCANCODE_D, 0x3e},
		{SDL_SCANCODE_F, SDL_SCANCODE_F, 0x3f},
		{SDL_SCANCODE_G, SDL_SCANCODE_G, 0x40},
		{SDL_SCANCODE_H, SDL_SCANCODE_H, 0x41},
		{SDL_SCANCODE_J, SDL_SCANCODE_J, 0x42},
		{SDL_SCANCODE_K, SDL_SCANCODE_K, 0x43},
		{SDL_SCANCODE_L, SDL_SCANCODE_L, 0x44},
		{SDL_SCANCODE_Z, SDL_SCANCODE_Z, 0x4c},
		{SDL_SCANCODE_X, SDL_SCANCODE_X, 0x4d},
		{SDL_SCANCODE_C, SDL_SCANCODE_C, 0x4e},
		{SDL_SCANCODE_V, SDL_SCANCODE_V, 0x4f},
		{SDL_SCANCODE_B, SDL_SCANCODE_B, 0x50},
		{SDL_SCANCODE_N, SDL_SCANCODE_N, 0x51},
		{SDL_SCANCODE_M, SDL_SCANCODE_M, 0x52},
	};
	for (const auto& run : kRuns) {
		if (scancode >= run.first && scancode <= run.last)
			return run.code + (scancode - run.first);
	}

	switch (scancode) {
		case SDL_SCANCODE_ESCAPE: return 0x01;
		case SDL_SCANCODE_PRINTSCREEN: return 0x0e;
		case SDL_SCANCODE_SCROLLLOCK: return 0x0f;
		case SDL_SCANCODE_PAUSE: return 0x10;
		case SDL_SCANCODE_GRAVE: return 0x11;
		case SDL_SCANCODE_0: return 0x1b;
		case SDL_SCANCODE_MINUS: return 0x1c;
		case SDL_SCANCODE_EQUALS: return 0x1d;
		case SDL_SCANCODE_BACKSPACE: return 0x1e;
		case SDL_SCANCODE_INSERT: return 0x1f;
		case SDL_SCANCODE_HOME: return 0x20;
		case SDL_SCANCODE_PAGEUP: return 0x21;
		case SDL_SCANCODE_NUMLOCKCLEAR: return 0x22;
		case SDL_SCANCODE_KP_DIVIDE: return 0x23;
		case SDL_SCANCODE_KP_MULTIPLY: return 0x24;
		case SDL_SCANCODE_KP_MINUS: return 0x25;
		case SDL_SCANCODE_TAB: return 0x26;
		case SDL_SCANCODE_LEFTBRACKET: return 0x31;
		case SDL_SCANCODE_RIGHTBRACKET: return 0x32;
		case SDL_SCANCODE_BACKSLASH: return 0x33;
		case SDL_SCANCODE_DELETE: return 0x34;
		case SDL_SCANCODE_END: return 0x35;
		case SDL_SCANCODE_PAGEDOWN: return 0x36;
		case SDL_SCANCODE_KP_7: return 0x37;
		case SDL_SCANCODE_KP_8: return 0x38;
		case SDL_SCANCODE_KP_9: return 0x39;
		case SDL_SCANCODE_KP_PLUS: return 0x3a;
		case SDL_SCANCODE_CAPSLOCK: return 0x3b;
		case SDL_SCANCODE_SEMICOLON: return 0x45;
		case SDL_SCANCODE_APOSTROPHE: return 0x46;
		case SDL_SCANCODE_RETURN: return 0x47;
		case SDL_SCANCODE_KP_4: return 0x48;
		case SDL_SCANCODE_KP_5: return 0x49;
		case SDL_SCANCODE_KP_6: return 0x4a;
		case SDL_SCANCODE_LSHIFT: return 0x4b;
		case SDL_SCANCODE_COMMA: return 0x53;
		case SDL_SCANCODE_PERIOD: return 0x54;
		case SDL_SCANCODE_SLASH: return 0x55;
		case SDL_SCANCODE_RSHIFT: return 0x56;
		case SDL_SCANCODE_UP: return 0x57;
		case SDL_SCANCODE_KP_1: return 0x58;
		case SDL_SCANCODE_KP_2: return 0x59;
		case SDL_SCANCODE_KP_3: return 0x5a;
		case SDL_SCANCODE_KP_ENTER: return 0x5b;
		case SDL_SCANCODE_LCTRL: return 0x5c;
		case SDL_SCANCODE_LALT: return 0x5d;
		case SDL_SCANCODE_SPACE: return 0x5e;
		case SDL_SCANCODE_RALT: return 0x5f;
		case SDL_SCANCODE_RCTRL: return 0x60;
		case SDL_SCANCODE_LEFT: return 0x61;
		case SDL_SCANCODE_DOWN: return 0x62;
		case SDL_SCANCODE_RIGHT: return 0x63;
		case SDL_SCANCODE_KP_0: return 0x64;
		case SDL_SCANCODE_KP_PERIOD: return 0x65;
		case SDL_SCANCODE_LGUI: return 0x66;
		case SDL_SCANCODE_RGUI: return 0x67;
		case SDL_SCANCODE_APPLICATION: return 0x68;
		default: return 0;
	}
}

uint32
sdl_modifiers(uint16 mod)
{
	static const struct {
		uint16 sdl;
		uint32 platform;
	} kMap[] = {
		{KMOD_LSHIFT, B_SHIFT_KEY | B_LEFT_SHIFT_KEY},
		{KMOD_RSHIFT, B_SHIFT_KEY | B_RIGHT_SHIFT_KEY},
		{KMOD_LCTRL, B_CONTROL_KEY | B_LEFT_CONTROL_KEY},
		{KMOD_RCTRL, B_CONTROL_KEY | B_RIGHT_CONTROL_KEY},
		{KMOD_LALT, B_COMMAND_KEY | B_LEFT_COMMAND_KEY},
		{KMOD_RALT, B_COMMAND_KEY | B_RIGHT_COMMAND_KEY},
		{KMOD_LGUI, B_OPTION_KEY | B_LEFT_OPTION_KEY},
		{KMOD_RGUI, B_OPTION_KEY | B_RIGHT_OPTION_KEY},
		{KMOD_CAPS, B_CAPS_LOCK},
		{KMOD_NUM, B_NUM_LOCK},
		{KMOD_SCROLL, B_SCROLL_LOCK},
	};
	uint32 modifiers = 0;
	for (const auto& entry : kMap) {
		if ((mod & entry.sdl) != 0)
			modifiers |= entry.platform;
	}
	return modifiers;
}

void
sdl_wheel_deltas(int32 x, int32 y, bool flipped, float* deltaX, float* deltaY)
{
	int32 sign = flipped ? -1 : 1;
	*deltaX = static_cast<float>(sign * x);
	*deltaY = static_cast<float>(-sign * y);
}

uint32
sdl_button(uint8 button)
{
	switch (button) {
		case SDL_BUTTON_LEFT:
			return B_PRIMARY_MOUSE_BUTTON;
		case SDL_BUTTON_RIGHT:
			return B_SECONDARY_MOUSE_BUTTON;
		case SDL_BUTTON_MIDDLE:
			return B_TERTIARY_MOUSE_BUTTON;
		default:
			// The platform numbers further buttons on from the third.
			return button >= SDL_BUTTON_X1 ? (1u << (button - 1)) : 0;
	}
}

} // namespace BPrivate
