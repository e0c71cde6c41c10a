#include <InterfaceDefs.h>

#include <DisplayBackend.h>

#include <algorithm>

rgb_color
ui_color(color_which which)
{
	switch (which) {
		case B_PANEL_BACKGROUND_COLOR:
		case B_MENU_BACKGROUND_COLOR:
		case B_CONTROL_BACKGROUND_COLOR:
			return make_color(216, 216, 216);
		case B_WINDOW_TAB_COLOR:
			return make_color(140, 158, 188);
		case B_KEYBOARD_NAVIGATION_COLOR:
			return make_color(0, 0, 229);
		case B_DESKTOP_COLOR:
			return make_color(58, 90, 122);
		case B_MENU_SELECTION_BACKGROUND_COLOR:
			return make_color(150, 150, 150);
		case B_CONTROL_HIGHLIGHT_COLOR:
			return make_color(102, 152, 203);
		case B_SHINE_COLOR:
			return make_color(255, 255, 255);
		case B_SHADOW_COLOR:
			return make_color(0, 0, 0);
		case B_CONTROL_BORDER_COLOR:
			return make_color(96, 96, 96);
		case B_SUCCESS_COLOR:
			return make_color(0, 160, 0);
		case B_FAILURE_COLOR:
			return make_color(200, 0, 0);
		case B_MENU_ITEM_TEXT_COLOR:
		case B_MENU_SELECTED_ITEM_TEXT_COLOR:
		case B_PANEL_TEXT_COLOR:
		case B_CONTROL_TEXT_COLOR:
		default:
			return make_color(0, 0, 0);
	}
}

rgb_color
tint_color(rgb_color color, float tint)
{
	auto tintComponent = [tint](uint8 value) -> uint8 {
		float result;
		if (tint < 1.0f)
			result = value + (255 - value) * (1.0f - tint);
		else
			result = value * (2.0f - tint);
		return static_cast<uint8>(std::clamp(result + 0.5f, 0.0f, 255.0f));
	};
	return make_color(tintComponent(color.red), tintComponent(color.green),
		tintComponent(color.blue), color.alpha);
}

uint32
modifiers()
{
	return BPrivate::DisplayBackend::Default()->Modifiers();
}
