#include <PictureButton.h>

BPictureButton::BPictureButton(BRect frame, const char* name, BPicture* off, BPicture* on,
	BMessage* message, uint32 behavior, uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, nullptr, message, resizingMode, flags),
	fEnabledOff(nullptr),
	fEnabledOn(nullptr),
	fDisabledOff(nullptr),
	fDisabledOn(nullptr),
	fBehavior(behavior)
{
	_Replace(&fEnabledOff, off);
	_Replace(&fEnabledOn, on);
}

BPictureButton::~BPictureButton()
{
	delete fEnabledOff;
	delete fEnabledOn;
	delete fDisabledOff;
	delete fDisabledOn;
}

void
BPictureButton::_Replace(BPicture** slot, BPicture* picture)
{
	delete *slot;
	*slot = picture != nullptr ? new BPicture(*picture) : nullptr;
}

void BPictureButton::SetEnabledOn(BPicture* on) { _Replace(&fEnabledOn, on); Invalidate(); }
void BPictureButton::SetEnabledOff(BPicture* off) { _Replace(&fEnabledOff, off); Invalidate(); }
void BPictureButton::SetDisabledOn(BPicture* on) { _Replace(&fDisabledOn, on); Invalidate(); }
void BPictureButton::SetDisabledOff(BPicture* off) { _Replace(&fDisabledOff, off); Invalidate(); }

void
BPictureButton::SetBehavior(uint32 behavior)
{
	fBehavior = behavior;
}

void
BPictureButton::Operate()
{
	if (fBehavior == B_TWO_STATE_BUTTON)
		SetValue(Value() == B_CONTROL_ON ? B_CONTROL_OFF : B_CONTROL_ON);
	Invoke();
}

void
BPictureButton::Draw(BRect)
{
	bool on = fBehavior == B_TWO_STATE_BUTTON ? (Value() == B_CONTROL_ON) != IsPressed()
		: IsPressed();
	BPicture* picture;
	if (IsEnabled())
		picture = on ? fEnabledOn : fEnabledOff;
	else {
		picture = on ? fDisabledOn : fDisabledOff;
		if (picture == nullptr)
			picture = on ? fEnabledOn : fEnabledOff;
	}
	if (picture != nullptr)
		DrawPicture(picture, B_ORIGIN);
	// A picture has no label to underline: the focus mark frames it.
	if (IsFocusShown()) {
		SetHighColor(ui_color(B_KEYBOARD_NAVIGATION_COLOR));
		StrokeRect(Bounds());
	}
}
