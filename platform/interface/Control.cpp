#include <Control.h>

#include <Window.h>

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags),
	BInvoker(message, nullptr, nullptr),
	fLabel(label != nullptr ? label : ""),
	fHasLabel(label != nullptr),
	fValue(B_CONTROL_OFF),
	fEnabled(true),
	fTracking(false),
	fPressed(false)
{
	// Receivers compare "source" with the control they made.
	SetInvokeSource(this);
}

BControl::~BControl()
{
}

void
BControl::AttachedToWindow()
{
	// Controls sit on their parent's panel colour.
	rgb_color color = Parent() != nullptr ? Parent()->ViewColor()
		: ui_color(B_PANEL_BACKGROUND_COLOR);
	if (color == B_TRANSPARENT_COLOR)
		color = ui_color(B_PANEL_BACKGROUND_COLOR);
	SetViewColor(color);
	SetLowColor(color);
	if (Messenger() == BMessenger() || !Messenger().IsValid())
		SetTarget(Window());
	BView::AttachedToWindow();
}

rgb_color
BControl::PanelColor() const
{
	return ViewColor() == B_TRANSPARENT_COLOR ? ui_color(B_PANEL_BACKGROUND_COLOR)
		: ViewColor();
}

void
BControl::MakeFocus(bool focused)
{
	if (focused == IsFocus())
		return;
	BView::MakeFocus(focused);
	Invalidate();
}

void
BControl::WindowActivated(bool active)
{
	BView::WindowActivated(active);
	// The focus mark comes and goes with the window's activation.
	if (IsFocus())
		Invalidate();
}

bool
BControl::IsFocusShown() const
{
	return IsFocus() && Window() != nullptr && Window()->IsActive();
}

void
BControl::DrawFocusMark(BRect rect)
{
	if (!IsFocusShown())
		return;
	PushState();
	SetHighColor(ui_color(B_KEYBOARD_NAVIGATION_COLOR));
	StrokeLine(rect.LeftBottom(), rect.RightBottom());
	PopState();
}

void
BControl::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes == 1 && (bytes[0] == B_ENTER || bytes[0] == B_SPACE) && fEnabled) {
		Operate();
		return;
	}
	BView::KeyDown(bytes, numBytes);
}

void
BControl::MouseDown(BPoint where)
{
	if (!fEnabled)
		return;
	fTracking = true;
	SetPressed(Bounds().Contains(where));
}

void
BControl::MouseMoved(BPoint where, uint32, const BMessage*)
{
	if (fTracking)
		SetPressed(Bounds().Contains(where));
}

void
BControl::MouseUp(BPoint where)
{
	if (!fTracking)
		return;
	fTracking = false;
	SetPressed(false);
	if (fEnabled && Bounds().Contains(where))
		Operate();
}

void
BControl::SetPressed(bool pressed)
{
	if (pressed == fPressed)
		return;
	fPressed = pressed;
	Invalidate();
}

void
BControl::Operate()
{
	SetValue(fValue == B_CONTROL_ON ? B_CONTROL_OFF : B_CONTROL_ON);
	Invoke();
}

void
BControl::MessageReceived(BMessage* message)
{
	BView::MessageReceived(message);
}

void
BControl::SetLabel(const char* label)
{
	fHasLabel = label != nullptr;
	std::string newLabel = label != nullptr ? label : "";
	if (newLabel == fLabel)
		return;
	fLabel = newLabel;
	Invalidate();
}

void
BControl::SetValue(int32 value)
{
	if (value == fValue)
		return;
	fValue = value;
	Invalidate();
}

void
BControl::SetEnabled(bool enabled)
{
	if (enabled == fEnabled)
		return;
	fEnabled = enabled;
	if (!enabled)
		fTracking = false;
	Invalidate();
}

status_t
BControl::Invoke(BMessage* message)
{
	if (message == nullptr && Message() == nullptr)
		return B_BAD_VALUE;
	BMessage copy(message != nullptr ? *message : *Message());
	// Controls report their value with every invocation.
	if (!copy.HasInt32("be:value"))
		copy.AddInt32("be:value", fValue);
	return BInvoker::Invoke(&copy);
}
