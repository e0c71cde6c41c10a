#ifndef _VIEW_H
#define _VIEW_H

// A rectangular area of a window that draws itself and receives input.
// Views form a tree under the window; each has a frame in its parent's
// coordinates and bounds in its own (the bounds' left-top is the scroll
// offset). Drawing calls draw into the window's backing store at once, in
// view coordinates; a rectangle includes its right and bottom edges, and
// lines and outlines cover the pixels whose centres they pass through.

#include <Font.h>
#include <GraphicsDefs.h>
#include <Handler.h>
#include <InterfaceDefs.h>
#include <Rect.h>

#include <vector>

class BBitmap;
class BMessage;
class BPicture;
class BScrollBar;
class BScrollView;
class BWindow;

// Resizing modes: how each edge follows the parent's size.
#define _VIEW_TOP_ 1UL
#define _VIEW_LEFT_ 2UL
#define _VIEW_BOTTOM_ 3UL
#define _VIEW_RIGHT_ 4UL
#define _VIEW_CENTER_ 5UL
#define _rule_(left, top, right, bottom) \
	(((left) << 12) | ((top) << 8) | ((right) << 4) | (bottom))

enum {
	B_FOLLOW_NONE = 0,
	B_FOLLOW_ALL_SIDES = _rule_(_VIEW_LEFT_, _VIEW_TOP_, _VIEW_RIGHT_, _VIEW_BOTTOM_),
	B_FOLLOW_ALL = B_FOLLOW_ALL_SIDES,
	B_FOLLOW_LEFT = _rule_(_VIEW_LEFT_, 0, _VIEW_LEFT_, 0),
	B_FOLLOW_RIGHT = _rule_(_VIEW_RIGHT_, 0, _VIEW_RIGHT_, 0),
	B_FOLLOW_LEFT_RIGHT = _rule_(_VIEW_LEFT_, 0, _VIEW_RIGHT_, 0),
	B_FOLLOW_H_CENTER = _rule_(_VIEW_CENTER_, 0, _VIEW_CENTER_, 0),
	B_FOLLOW_TOP = _rule_(0, _VIEW_TOP_, 0, _VIEW_TOP_),
	B_FOLLOW_BOTTOM = _rule_(0, _VIEW_BOTTOM_, 0, _VIEW_BOTTOM_),
	B_FOLLOW_TOP_BOTTOM = _rule_(0, _VIEW_TOP_, 0, _VIEW_BOTTOM_),
	B_FOLLOW_V_CENTER = _rule_(0, _VIEW_CENTER_, 0, _VIEW_CENTER_)
};

// View flags.
enum {
	B_FULL_UPDATE_ON_RESIZE = 0x80000000UL,
	B_WILL_DRAW = 0x20000000UL,
	B_PULSE_NEEDED = 0x10000000UL,
	B_NAVIGABLE_JUMP = 0x08000000UL,
	B_FRAME_EVENTS = 0x04000000UL,
	B_NAVIGABLE = 0x02000000UL,
	B_SUBPIXEL_PRECISE = 0x01000000UL,
	B_DRAW_ON_CHILDREN = 0x00800000UL,
	B_INPUT_METHOD_AWARE = 0x00400000UL
};

// The transit argument of MouseMoved.
enum {
	B_ENTERED_VIEW = 0,
	B_INSIDE_VIEW,
	B_EXITED_VIEW,
	B_OUTSIDE_VIEW
};

class BView : public BHandler {
public:
	BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
	~BView() override;

	// Hooks.
	virtual void AttachedToWindow();
	virtual void AllAttached();
	virtual void DetachedFromWindow();
	virtual void AllDetached();
	virtual void Draw(BRect updateRect);
	virtual void DrawAfterChildren(BRect updateRect);
	virtual void MouseDown(BPoint where);
	virtual void MouseUp(BPoint where);
	virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
	virtual void KeyDown(const char* bytes, int32 numBytes);
	virtual void KeyUp(const char* bytes, int32 numBytes);
	virtual void FrameMoved(BPoint newPosition);
	virtual void FrameResized(float newWidth, float newHeight);
	virtual void WindowActivated(bool active);
	virtual void TargetedByScrollView(BScrollView* scrollView);
	virtual void MakeFocus(bool focused = true);
	virtual void Show();
	virtual void Hide();
	virtual void GetPreferredSize(float* width, float* height);
	virtual void ResizeToPreferred();
	void MessageReceived(BMessage* message) override;

	// The tree.
	void AddChild(BView* child, BView* before = nullptr);
	bool RemoveChild(BView* child);
	bool RemoveSelf();
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;
	BView* NextSibling() const;
	BView* PreviousSibling() const;
	BView* Parent() const { return fParent; }
	BWindow* Window() const { return fWindow; }
	// This view or the first view below it with the name.
	BView* FindView(const char* name) const;

	// Geometry.
	BRect Frame() const { return fFrame; }
	BRect Bounds() const;
	void MoveBy(float dx, float dy);
	void MoveTo(BPoint where);
	void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
	void ResizeBy(float dx, float dy);
	void ResizeTo(float width, float height);
	void ScrollBy(float dx, float dy);
	virtual void ScrollTo(BPoint where);
	void ScrollTo(float x, float y) { ScrollTo(BPoint(x, y)); }
	// The scroll bar that targets this view in that direction, if any.
	BScrollBar* ScrollBar(orientation direction) const;
	void ConvertToScreen(BPoint* point) const;
	BPoint ConvertToScreen(BPoint point) const;
	void ConvertToScreen(BRect* rect) const;
	BRect ConvertToScreen(BRect rect) const;
	void ConvertFromScreen(BPoint* point) const;
	BPoint ConvertFromScreen(BPoint point) const;
	void ConvertFromScreen(BRect* rect) const;
	BRect ConvertFromScreen(BRect rect) const;
	void ConvertToParent(BPoint* point) const;
	BPoint ConvertToParent(BPoint point) const;
	void ConvertToParent(BRect* rect) const;
	BRect ConvertToParent(BRect rect) const;
	void ConvertFromParent(BPoint* point) const;
	BPoint ConvertFromParent(BPoint point) const;
	void ConvertFromParent(BRect* rect) const;
	BRect ConvertFromParent(BRect rect) const;

	uint32 Flags() const { return fFlags; }
	virtual void SetFlags(uint32 flags);
	uint32 ResizingMode() const { return fResizingMode; }
	virtual void SetResizingMode(uint32 mode) { fResizingMode = mode; }
	// Hidden itself, under a hidden parent, or in a hidden window.
	bool IsHidden() const;
	bool IsFocus() const;

	// Input.
	// Where the mouse is (view coordinates) and which buttons are down.
	// With checkQueue, the first mouse message waiting in the window's queue
	// is taken out and answers instead.
	void GetMouse(BPoint* location, uint32* buttons, bool checkQueue = true);

	// Drawing state.
	virtual void SetHighColor(rgb_color color);
	void SetHighColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
	rgb_color HighColor() const { return fState.high; }
	virtual void SetLowColor(rgb_color color);
	void SetLowColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
	rgb_color LowColor() const { return fState.low; }
	virtual void SetViewColor(rgb_color color);
	void SetViewColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
	rgb_color ViewColor() const { return fViewColor; }
	virtual void SetDrawingMode(drawing_mode mode);
	drawing_mode DrawingMode() const { return fState.mode; }
	virtual void SetPenSize(float size);
	float PenSize() const { return fState.penSize; }
	void MovePenTo(BPoint where);
	void MovePenTo(float x, float y) { MovePenTo(BPoint(x, y)); }
	void MovePenBy(float dx, float dy);
	BPoint PenLocation() const { return fState.pen; }
	virtual void SetFont(const BFont* font, uint32 mask = B_FONT_ALL);
	void GetFont(BFont* font) const;
	void SetFontSize(float size);
	float StringWidth(const char* string) const;
	float StringWidth(const char* string, int32 length) const;
	void GetFontHeight(font_height* height) const;
	void PushState();
	void PopState();

	// Drawing.
	void StrokeRect(BRect rect, pattern p = B_SOLID_HIGH);
	void FillRect(BRect rect, pattern p = B_SOLID_HIGH);
	void InvertRect(BRect rect);
	void StrokeRoundRect(BRect rect, float xRadius, float yRadius,
		pattern p = B_SOLID_HIGH);
	void FillRoundRect(BRect rect, float xRadius, float yRadius,
		pattern p = B_SOLID_HIGH);
	void StrokeEllipse(BRect rect, pattern p = B_SOLID_HIGH);
	void FillEllipse(BRect rect, pattern p = B_SOLID_HIGH);
	void StrokeTriangle(BPoint first, BPoint second, BPoint third,
		pattern p = B_SOLID_HIGH);
	void FillTriangle(BPoint first, BPoint second, BPoint third,
		pattern p = B_SOLID_HIGH);
	void StrokeLine(BPoint to, pattern p = B_SOLID_HIGH);
	void StrokeLine(BPoint from, BPoint to, pattern p = B_SOLID_HIGH);
	// Draws at the pen (the baseline's left end) and moves the pen past it.
	void DrawString(const char* string);
	void DrawString(const char* string, int32 length);
	void DrawString(const char* string, BPoint where);
	void DrawString(const char* string, int32 length, BPoint where);
	void DrawChar(char c);
	void DrawChar(char c, BPoint where);
	// Whole bitmap at the pen or a point, or scaled from a source rectangle
	// of the bitmap into a destination rectangle of the view.
	void DrawBitmap(const BBitmap* bitmap);
	void DrawBitmap(const BBitmap* bitmap, BPoint where);
	void DrawBitmap(const BBitmap* bitmap, BRect destination);
	void DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination);
	void DrawBitmapAsync(const BBitmap* bitmap, BPoint where);
	void DrawBitmapAsync(const BBitmap* bitmap, BRect destination);
	void DrawBitmapAsync(const BBitmap* bitmap, BRect source, BRect destination);

	void BeginPicture(BPicture* picture);
	BPicture* EndPicture();
	void DrawPicture(const BPicture* picture);
	void DrawPicture(const BPicture* picture, BPoint where);

	void Invalidate();
	void Invalidate(BRect rect);
	void Sync() const;
	void Flush() const;

private:
	friend class BWindow;
	friend class BScrollBar;
	friend class BScrollView;

	struct State {
		rgb_color high;
		rgb_color low;
		float penSize;
		BPoint pen;
		drawing_mode mode;
		BFont font;
		BPoint drawOffset;
	};

	BView(const BView&) = delete;
	BView& operator=(const BView&) = delete;

	// Whether the view acts on Enter itself while it has the focus (a
	// button presses, a menu field opens) instead of leaving it to the
	// window's default button.
	virtual bool _TakesEnter() const;
	// Page Up, Page Down, Home and End move the view's vertical scroll bar;
	// false for other keys and views without one.
	bool _ScrollForKey(char key);
	// The wheel message scrolls the view's scroll bars; false when it has
	// none.
	bool _ScrollForWheel(BMessage* message);

	// Window coordinates of this view's point (0, 0).
	BPoint _WindowOffset() const;
	BPoint _ConvertToWindow(BPoint point) const;
	BRect _ConvertToWindow(BRect rect) const;
	BPoint _ConvertFromWindow(BPoint point) const;
	// The part of the window this view may draw in.
	BRect _VisibleWindowRect() const;
	bool _IsHiddenInWindow() const;

	void _Attach(BWindow* window);
	void _CallAllAttached();
	void _Detach();
	void _ParentResized(float dx, float dy);
	void _MoveResize(float dx, float dy, float dWidth, float dHeight);
	void _Redraw(BRect windowRect);
	void _ActivateTree(bool active);
	BView* _ViewAt(BPoint windowPoint);

	// A cairo context on the backing store, clipped and translated to view
	// coordinates; nullptr when this view cannot draw now.
	void* _BeginDrawing() const;
	void _EndDrawing(void* context) const;
	// Sets the source for a shape in the current mode and pattern; false
	// when nothing would be drawn.
	bool _SetSource(void* context, const pattern& p) const;
	void _FillPixels(void* context, float left, float top, float right, float bottom) const;
	void _DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination);
	void _ApplyState(const State& state);

	BRect fFrame;
	BPoint fScrollOffset;
	uint32 fResizingMode;
	uint32 fFlags;
	int32 fHideLevel;
	BView* fParent;
	std::vector<BView*> fChildren;
	BWindow* fWindow;
	bool fAllAttachedCalled;
	rgb_color fViewColor;
	State fState;
	std::vector<State> fStateStack;
	BPicture* fPicture;
	BScrollBar* fVerticalScrollBar;
	BScrollBar* fHorizontalScrollBar;
};

#endif // _VIEW_H
