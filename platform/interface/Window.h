#ifndef _WINDOW_H
#define _WINDOW_H

// A window: a looper with its own thread (started by the first Show) and
// its own backing store, which the views draw into. Invalidated areas are
// redrawn in the window's thread and each finished frame goes to the
// display backend, which sends input back as messages.

#include <InterfaceDefs.h>
#include <Looper.h>
#include <Rect.h>

#include <cairo.h>

#include <atomic>
#include <string>

class BButton;
class BView;

enum window_type {
	B_UNTYPED_WINDOW = 0,
	B_TITLED_WINDOW = 1,
	B_MODAL_WINDOW = 3,
	B_DOCUMENT_WINDOW = 11,
	B_BORDERED_WINDOW = 20,
	B_FLOATING_WINDOW = 21
};

enum {
	B_NOT_MOVABLE = 0x00000001,
	B_NOT_CLOSABLE = 0x00000020,
	B_NOT_ZOOMABLE = 0x00000040,
	B_NOT_MINIMIZABLE = 0x00004000,
	B_NOT_RESIZABLE = 0x00000002,
	B_NOT_H_RESIZABLE = 0x00000004,
	B_NOT_V_RESIZABLE = 0x00000008,
	B_AVOID_FRONT = 0x00000080,
	B_AVOID_FOCUS = 0x00002000,
	B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
	B_OUTLINE_RESIZE = 0x00001000,
	B_NO_WORKSPACE_ACTIVATION = 0x00000100,
	B_NOT_ANCHORED_ON_ACTIVATE = 0x00020000,
	B_ASYNCHRONOUS_CONTROLS = 0x00080000,
	B_QUIT_ON_WINDOW_CLOSE = 0x00100000
};

#define B_CURRENT_WORKSPACE 0
#define B_ALL_WORKSPACES 0xffffffff

class BWindow : public BLooper {
public:
	BWindow(BRect frame, const char* title, window_type type, uint32 flags,
		uint32 workspace = B_CURRENT_WORKSPACE);
	~BWindow() override;

	void Quit() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;
	void MessageReceived(BMessage* message) override;

	// Show and Hide count: a window shown twice needs two Hides to hide.
	// The first Show starts the window's thread.
	virtual void Show();
	virtual void Hide();
	bool IsHidden() const;

	virtual void FrameMoved(BPoint newPosition);
	virtual void FrameResized(float newWidth, float newHeight);
	virtual void WindowActivated(bool active);
	virtual void Minimize(bool minimize);
	virtual void Zoom();

	void AddChild(BView* child, BView* before = nullptr);
	bool RemoveChild(BView* child);
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;
	BView* FindView(const char* name) const;
	BView* FindView(BPoint point) const;
	BView* CurrentFocus() const { return fFocus; }

	void Activate(bool active = true);
	bool IsActive() const { return fActive; }
	bool IsModal() const { return fType == B_MODAL_WINDOW; }

	void MoveBy(float dx, float dy);
	void MoveTo(BPoint where);
	void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
	void ResizeBy(float dx, float dy);
	void ResizeTo(float width, float height);
	void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
	void GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
		float* maxHeight) const;
	BRect Bounds() const;
	BRect Frame() const { return fFrame; }

	const char* Title() const { return fTitle.c_str(); }
	void SetTitle(const char* title);
	// What the desktop shows as the title of windows that have none of
	// their own (alerts, dialogs): the program's name until set.
	static void SetUntitledTitle(const char* title);
	window_type Type() const { return fType; }
	uint32 Flags() const { return fFlags; }
	status_t SetFlags(uint32 flags);
	uint32 Workspaces() const { return B_CURRENT_WORKSPACE; }

	// Redraws what is invalid now (from the window's thread).
	void UpdateIfNeeded();
	void Flush() const;
	void Sync() const;
	void DisableUpdates();
	void EnableUpdates();

	// Enter presses the default button.
	void SetDefaultButton(BButton* button);
	BButton* DefaultButton() const { return fDefaultButton; }

	void ConvertToScreen(BPoint* point) const;
	BPoint ConvertToScreen(BPoint point) const;
	void ConvertToScreen(BRect* rect) const;
	BRect ConvertToScreen(BRect rect) const;
	void ConvertFromScreen(BPoint* point) const;
	BPoint ConvertFromScreen(BPoint point) const;
	void ConvertFromScreen(BRect* rect) const;
	BRect ConvertFromScreen(BRect rect) const;

	// The window's place on the display (for the automation).
	int32 DisplayID() const { return fDisplayID; }

private:
	friend class BView;

	thread_id Run() override;

	void _Invalidate(BRect windowRect);
	void _DrawnDirectly();
	void _RequestUpdate();
	void _Update();
	void _UpdateAtFrameRate();
	void _FlushFrame() const;
	void _ViewDetached(BView* view);
	void _GetMouse(BPoint* where, uint32* buttons, bool checkQueue);
	void _HandleMouse(BMessage* message);
	void _HandleKey(BMessage* message);
	void _NavigateFocus(bool backwards);
	void _CreateBackingStore();
	void _SetFrameSize(float width, float height);

	std::string fTitle;
	window_type fType;
	uint32 fFlags;
	BRect fFrame;
	float fMinWidth;
	float fMaxWidth;
	float fMinHeight;
	float fMaxHeight;
	int32 fShowLevel;
	bool fThreadStarted;
	bool fActive;
	int32 fDisplayID;
	BView* fTopView;
	BView* fFocus;
	BView* fMouseView;
	BView* fLastMovedView;
	BButton* fDefaultButton;
	BPoint fLastMouse;
	uint32 fLastButtons;
	cairo_surface_t* fBackingStore;
	BRect fInvalid;
	BRect fUpdateRect;
	bool fInUpdate;
	int32 fUpdatesDisabled;
	mutable bool fFrameDirty;
	mutable bigtime_t fLastFrameTime;
	std::atomic<bool> fUpdatePending;
};

#endif // _WINDOW_H
