#ifndef _SCROLL_BAR_H
#define _SCROLL_BAR_H

// A bar that scrolls its target view: arrows at both ends move by the
// small step, a press in the trough by the large step, and the knob can be
// dragged. The value is the target's scroll offset in the bar's direction.

#include <View.h>

#define B_V_SCROLL_BAR_WIDTH 14.0f
#define B_H_SCROLL_BAR_HEIGHT 14.0f

class BScrollBar : public BView {
public:
	BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
		orientation direction);
	~BScrollBar() override;

	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
	void MouseUp(BPoint where) override;
	void DetachedFromWindow() override;
	// The wheel over the bar moves it.
	void MessageReceived(BMessage* message) override;

	// Called after the value changed; the default scrolls the target.
	virtual void ValueChanged(float newValue);

	void SetValue(float value);
	float Value() const { return fValue; }
	void SetProportion(float proportion);
	float Proportion() const { return fProportion; }
	void SetRange(float min, float max);
	void GetRange(float* min, float* max) const;
	void SetSteps(float smallStep, float largeStep);
	void GetSteps(float* smallStep, float* largeStep) const;
	void SetTarget(BView* target);
	void SetTarget(const char* targetName);
	BView* Target() const { return fTarget; }
	orientation Orientation() const { return fOrientation; }

private:
	friend class BView;

	// The target scrolled by itself: follow it without scrolling it again.
	void _TargetScrolled(float offset);
	// Page Up and Page Down move by the large step, Home and End to the
	// ends of the range; false for other keys.
	bool _MoveForKey(char key);
	// A turn of the wheel by notches (positive towards the end): three
	// small steps each, or a large step when fast.
	void _MoveForWheel(float notches, bool fast);
	// What a wheel message asks: notches across and down, and whether
	// shift makes them fast.
	static void _ReadWheel(const BMessage* message, float* deltaX, float* deltaY,
		bool* fast);
	float _TroughLength() const;
	BRect _KnobRect() const;
	float _Along(BPoint point) const;
	void _DrawArrow(BRect box, bool towardsStart);

	BView* fTarget;
	orientation fOrientation;
	float fMin;
	float fMax;
	float fValue;
	float fProportion;
	float fSmallStep;
	float fLargeStep;
	bool fDragging;
	float fDragOffset;
};

#endif // _SCROLL_BAR_H
