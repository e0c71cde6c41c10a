#ifndef _SDL_INPUT_H
#define _SDL_INPUT_H

// How the desktop's input looks to the platform: SDL's keys, modifiers and
// mouse buttons as the platform's key codes, bytes, modifier masks and
// button masks. Pure functions, so that they need no display.

#include <SupportDefs.h>

#include <SDL.h>

#include <string>

namespace BPrivate {

// The bytes a key makes by itself (Enter, Escape, arrows, Home ...), or an
// empty string for a key whose bytes arrive as text.
std::string sdl_key_bytes(SDL_Keycode key);

// The bytes of a key pressed with Control or Alt, which make no text:
// Control with a letter makes its control character, Alt (the command key)
// makes the key's own character. Empty for keys that make nothing.
std::string sdl_chord_bytes(SDL_Keycode key, uint32 modifiers);

// The platform's code for the physical key (0 when it has none).
int32 sdl_key_code(SDL_Scancode scancode);

// The platform's modifier mask for SDL's: Alt is the command key, the
// logo key the option key.
uint32 sdl_modifiers(uint16 mod);

// The platform's wheel turn (notches, positive down and right) for SDL's
// (positive up and right, both turned round when flipped).
void sdl_wheel_deltas(int32 x, int32 y, bool flipped, float* deltaX, float* deltaY);

// The platform's button mask for one of SDL's buttons.
uint32 sdl_button(uint8 button);

} // namespace BPrivate

#endif // _SDL_INPUT_H
