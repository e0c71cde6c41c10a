#ifndef _STATUS_BAR_H
#define _STATUS_BAR_H

// A bar that fills as work gets done, with a label and a text on the left
// and a trailing text and trailing label on the right above the bar.

#include <View.h>

#include <string>

class BStatusBar : public BView {
public:
	BStatusBar(BRect frame, const char* name, const char* label = nullptr,
		const char* trailingLabel = nullptr);
	~BStatusBar() override;

	// Takes the height of its text line and bar.
	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	// B_UPDATE_STATUS_BAR ("delta", "text", "trailing_text") and
	// B_RESET_STATUS_BAR ("label", "trailing_label").
	void MessageReceived(BMessage* message) override;
	void GetPreferredSize(float* width, float* height) override;

	virtual void SetBarColor(rgb_color color);
	rgb_color BarColor() const { return fBarColor; }
	virtual void SetBarHeight(float height);
	float BarHeight() const { return fBarHeight; }
	virtual void SetText(const char* text);
	const char* Text() const { return fText.c_str(); }
	virtual void SetTrailingText(const char* text);
	const char* TrailingText() const { return fTrailingText.c_str(); }
	virtual void SetMaxValue(float max);
	float MaxValue() const { return fMax; }
	float CurrentValue() const { return fCurrent; }
	const char* Label() const { return fLabel.c_str(); }
	const char* TrailingLabel() const { return fTrailingLabel.c_str(); }

	// Adds delta to the value (which stays within 0 and the maximum) and
	// replaces the texts that are given.
	virtual void Update(float delta, const char* text = nullptr,
		const char* trailingText = nullptr);
	// Value 0, texts cleared, labels replaced.
	virtual void Reset(const char* label = nullptr, const char* trailingLabel = nullptr);

private:
	float _TextHeight() const;

	std::string fLabel;
	std::string fTrailingLabel;
	std::string fText;
	std::string fTrailingText;
	float fMax;
	float fCurrent;
	float fBarHeight;
	rgb_color fBarColor;
};

#endif // _STATUS_BAR_H
