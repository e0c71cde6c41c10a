#ifndef _SDL_BACKEND_H
#define _SDL_BACKEND_H

// Real windows on the desktop: one native window per platform window, at
// the place its frame names (the content area in screen coordinates).
//
// Every SDL call happens on a display thread of the backend's own. Window
// threads only record their changes in the base class and wake it; it
// makes the native windows follow, shows their finished frames and turns
// the desktop's input into the base class's input calls, so that the
// routing (modal windows, activation, the pointer grab) is the same as on
// the headless display. Nothing here waits for a window's thread, so a
// window blocked in an alert blocks no other window.

#include <DisplayBackend.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

union SDL_Event;
struct SDL_KeyboardEvent;
struct SDL_MouseButtonEvent;
struct SDL_MouseWheelEvent;
struct SDL_TextInputEvent;
struct SDL_WindowEvent;

namespace BPrivate {

class SdlBackend : public DisplayBackend {
public:
	// Opens the display on a new display thread; nullptr, with the reason in
	// *error, where no display can be had or the display does not answer
	// within a few seconds.
	static std::unique_ptr<DisplayBackend> Open(std::string* error);
	// Whether the environment names a display ($DISPLAY or $WAYLAND_DISPLAY).
	static bool DisplayNamed();

	~SdlBackend() override;

	const char* Name() const override { return "sdl"; }
	// Stops the display thread, which closes the native windows and SDL.
	void CloseDesktop() override;

protected:
	void WindowChanged(int32 id) override;
	void WindowFramePresented(int32 id) override;
	void ScaleChanged() override;

private:
	struct NativeWindow;

	SdlBackend();

	// The display thread.
	void _Run();
	void _RunDisplay();
	void _StopDisplayThread();
	bool _OpenDisplay();
	void _CloseDisplay();
	void _TakeErrorHandlers();
	void _TakePointer();
	void _Wake();

	// The native windows follow the base class's records.
	void _Synchronize();
	void _SyncWindow(const DisplayWindowInfo& info, NativeWindow& native);
	void _SyncStacking(const std::vector<DisplayWindowInfo>& windows);
	void _SetCloseBox(NativeWindow& native, const DisplayWindowInfo& info);
	void _Present(NativeWindow& native, bool newFrame);

	// The desktop's input.
	void _HandleEvent(const SDL_Event& event);
	void _HandleWindowEvent(const SDL_WindowEvent& event);
	void _HandleMouseButton(const SDL_MouseButtonEvent& event, bool down);
	void _HandleMouseMotion(uint32 windowID, int32 x, int32 y);
	void _HandleMouseWheel(const SDL_MouseWheelEvent& event);
	void _HandleKey(const SDL_KeyboardEvent& event, bool down);
	void _HandleText(const SDL_TextInputEvent& event);
	void _SettleFocus();
	bool _Framed(const NativeWindow& native) const;
	NativeWindow* _NativeFor(uint32 sdlWindowID);
	bool _ScreenPoint(uint32 sdlWindowID, int32 x, int32 y, BPoint* where);

	// Shared with the window threads, under fStateLock.
	std::mutex fStateLock;
	std::condition_variable fOpened;
	bool fOpenDone;
	bool fOpenSucceeded;
	std::string fOpenError;
	bool fStopping;
	// The display thread has closed the display and returns.
	bool fRunEnded;
	std::condition_variable fThreadEnded;
	bool fWakePending;
	bool fLayoutChanged;
	std::set<int32> fNewFrames;
	uint32 fWakeEvent;

	std::thread fThread;

	// The display thread's own.
	// Whether SDL shows the windows through Xlib.
	bool fX11;
	// The desktop's size in its pixels, and its displays', set as the
	// display opens.
	std::pair<int32, int32> fScreenPixels;
	std::vector<BRect> fMonitorPixels;
	// The pointer's pixel as the display opened, until it moves (x < 0
	// then); under the base class's lock, since the scale may change from
	// another thread.
	BPoint fOpeningPointer;
	std::map<int32, std::unique_ptr<NativeWindow>> fNatives;
	std::vector<int32> fAppliedOrder;
	int32 fAppliedActive;
	uint32 fButtons;
	std::map<int32, std::string> fKeyBytes;
	int32 fTextKey;
	uint32 fTextModifiers;
	std::vector<int32> fFocusLost;
	bool fFocusGained;
	// The window last given the focus, until the desktop reports it.
	int32 fFocusRequested;
	bigtime_t fFocusRequestTime;
};

} // namespace BPrivate

#endif // _SDL_BACKEND_H
