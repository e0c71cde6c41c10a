#ifndef _SCROLL_VIEW_H
#define _SCROLL_VIEW_H

// A frame around a target view with scroll bars beside it. The scroll view
// takes the target's place: its frame is the target's grown by the border
// and the bars, and the target moves inside it.

#include <ScrollBar.h>
#include <View.h>

class BScrollView : public BView {
public:
	BScrollView(const char* name, BView* target,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = 0,
		bool horizontal = false, bool vertical = false,
		border_style border = B_FANCY_BORDER);
	~BScrollView() override;

	void Draw(BRect updateRect) override;
	// Focused, or under the wheel, the scroll view scrolls its target.
	void KeyDown(const char* bytes, int32 numBytes) override;
	void MessageReceived(BMessage* message) override;
	void MakeFocus(bool focused = true) override;
	void WindowActivated(bool active) override;

	BScrollBar* ScrollBar(orientation direction) const;
	BView* Target() const { return fTarget; }
	virtual void SetBorder(border_style border);
	border_style Border() const { return fBorder; }
	// A highlighted border shows that the target has the focus.
	virtual status_t SetBorderHighlighted(bool highlighted);
	bool IsBorderHighlighted() const { return fHighlighted; }

private:
	friend class BView;

	// The border is highlighted while the scroll view or its target has the
	// focus in the active window.
	void _UpdateFocusBorder();
	static float _BorderSize(border_style border);
	static BRect _Frame(BView* target, bool horizontal, bool vertical, border_style border);

	BView* fTarget;
	BScrollBar* fHorizontal;
	BScrollBar* fVertical;
	border_style fBorder;
	bool fHighlighted;
};

#endif // _SCROLL_VIEW_H
