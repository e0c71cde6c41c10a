#ifndef _ALERT_TEXT_VIEW_H
#define _ALERT_TEXT_VIEW_H

// The message of an alert: read-only text wrapped at word boundaries to
// the view's width (and at every newline).

#include <View.h>

#include <string>
#include <vector>

namespace BPrivate {

class AlertTextView : public BView {
public:
	AlertTextView(BRect frame, const char* name, const char* text);

	void Draw(BRect updateRect) override;
	void FrameResized(float width, float height) override;

	const std::string& Text() const { return fText; }
	void SetText(const char* text);
	// The lines the text breaks into at a width, and the height they take.
	std::vector<std::string> WrapLines(float width) const;
	float TextHeight(float width) const;

private:
	std::string fText;
};

} // namespace BPrivate

#endif // _ALERT_TEXT_VIEW_H
