#include <AlertTextView.h>

#include <cmath>

namespace BPrivate {

AlertTextView::AlertTextView(BRect frame, const char* name, const char* text)
	:
	BView(frame, name, B_FOLLOW_ALL, B_WILL_DRAW | B_FRAME_EVENTS),
	fText(text != nullptr ? text : "")
{
}

void
AlertTextView::SetText(const char* text)
{
	fText = text != nullptr ? text : "";
	Invalidate();
}

std::vector<std::string>
AlertTextView::WrapLines(float width) const
{
	std::vector<std::string> lines;
	size_t start = 0;
	while (start <= fText.size()) {
		size_t end = fText.find('\n', start);
		std::string paragraph = fText.substr(start,
			end == std::string::npos ? std::string::npos : end - start);
		// Fill each line with as many words as fit; a word wider than the
		// line stands alone on it.
		std::string line;
		size_t position = 0;
		while (position < paragraph.size()) {
			size_t wordEnd = paragraph.find(' ', position);
			if (wordEnd == std::string::npos)
				wordEnd = paragraph.size();
			std::string word = paragraph.substr(position, wordEnd - position);
			std::string candidate = line.empty() ? word : line + " " + word;
			if (!line.empty() && StringWidth(candidate.c_str()) > width) {
				lines.push_back(line);
				line = word;
			} else {
				line = candidate;
			}
			position = wordEnd + 1;
		}
		lines.push_back(line);
		if (end == std::string::npos)
			break;
		start = end + 1;
	}
	return lines;
}

float
AlertTextView::TextHeight(float width) const
{
	font_height fh;
	GetFontHeight(&fh);
	float lineHeight = ceilf(fh.ascent + fh.descent + fh.leading);
	return lineHeight * WrapLines(width).size();
}

void
AlertTextView::FrameResized(float, float)
{
	Invalidate();
}

void
AlertTextView::Draw(BRect)
{
	font_height fh;
	GetFontHeight(&fh);
	float lineHeight = ceilf(fh.ascent + fh.descent + fh.leading);
	BRect bounds = Bounds();
	float y = bounds.top + ceilf(fh.ascent);
	SetHighColor(make_color(0, 0, 0));
	for (const std::string& line : WrapLines(bounds.Width())) {
		DrawString(line.c_str(), BPoint(bounds.left, y));
		y += lineHeight;
	}
}

} // namespace BPrivate
