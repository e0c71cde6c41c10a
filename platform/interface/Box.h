#ifndef _BOX_H
#define _BOX_H

// A frame that groups views, with an optional label set into its top
// edge. The fancy border is etched (a shadow line with a light line inside
// it), the plain one a single line.

#include <View.h>

#include <string>

class BBox : public BView {
public:
	BBox(BRect frame, const char* name = nullptr,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP,
		border_style border = B_FANCY_BORDER);
	~BBox() override;

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void FrameResized(float width, float height) override;

	void SetBorder(border_style border);
	border_style Border() const { return fBorder; }
	void SetLabel(const char* label);
	const char* Label() const { return fHasLabel ? fLabel.c_str() : nullptr; }

private:
	float _TopEdge() const;

	std::string fLabel;
	bool fHasLabel;
	border_style fBorder;
};

#endif // _BOX_H
