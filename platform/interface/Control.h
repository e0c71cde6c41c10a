#ifndef _CONTROL_H
#define _CONTROL_H

// A view that the user operates and that, when operated, sends its model
// message (with "when" and "source", the control itself) to its target,
// by default its window.

#include <Invoker.h>
#include <Message.h>
#include <View.h>

#include <string>

enum {
	B_CONTROL_OFF = 0,
	B_CONTROL_ON = 1
};

class BControl : public BView, public BInvoker {
public:
	BControl(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode, uint32 flags);
	~BControl() override;

	void AttachedToWindow() override;
	void MakeFocus(bool focused = true) override;
	void WindowActivated(bool active) override;
	void KeyDown(const char* bytes, int32 numBytes) override;
	void MouseDown(BPoint where) override;
	void MouseUp(BPoint where) override;
	void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
	void MessageReceived(BMessage* message) override;

	virtual void SetLabel(const char* label);
	const char* Label() const { return fLabel.empty() && !fHasLabel ? nullptr : fLabel.c_str(); }
	virtual void SetValue(int32 value);
	int32 Value() const { return fValue; }
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }

	status_t Invoke(BMessage* message = nullptr) override;

protected:
	// Tracking of a press: the control is pressed while the mouse button is
	// down inside it.
	bool IsTracking() const { return fTracking; }
	void SetTracking(bool tracking) { fTracking = tracking; }
	void SetValueNoUpdate(int32 value) { fValue = value; }
	// The colours controls share: the panel grey of the parent, and the
	// bevel shades.
	rgb_color PanelColor() const;
	// Whether the control shows that keys go to it: it has the focus in the
	// active window.
	bool IsFocusShown() const;
	// The focus mark, a line in the navigation colour along the rectangle's
	// bottom edge, when the focus is shown.
	void DrawFocusMark(BRect rect);
	// Called when a press ends inside the control (or Enter or space
	// operates it).
	virtual void Operate();
	// Called as a press starts and ends, and as the mouse leaves and
	// enters the control during one, to show the pressed look.
	virtual void SetPressed(bool pressed);
	bool IsPressed() const { return fPressed; }

private:
	std::string fLabel;
	bool fHasLabel;
	int32 fValue;
	bool fEnabled;
	bool fTracking;
	bool fPressed;
};

#endif // _CONTROL_H
