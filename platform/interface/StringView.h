#ifndef _STRING_VIEW_H
#define _STRING_VIEW_H

// One line of text that the user cannot change.

#include <View.h>

#include <string>

class BStringView : public BView {
public:
	BStringView(BRect frame, const char* name, const char* text,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);
	~BStringView() override;

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void GetPreferredSize(float* width, float* height) override;

	void SetText(const char* text);
	const char* Text() const { return fHasText ? fText.c_str() : nullptr; }
	void SetAlignment(alignment flag);
	alignment Alignment() const { return fAlignment; }

private:
	std::string fText;
	bool fHasText;
	alignment fAlignment;
};

#endif // _STRING_VIEW_H
