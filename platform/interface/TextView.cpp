#include <TextView.h>

#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The colour behind selected text.
const rgb_color kSelectionColor = {172, 196, 230, 255};

// What a line shows: tabs as spaces, no line break.
std::string
shown_text(const std::string& text)
{
	std::string shown = text;
	std::replace(shown.begin(), shown.end(), '\t', ' ');
	return shown;
}

} // namespace

BTextView::BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode,
	uint32 flags)
	:
	BView(frame, name, resizingMode, flags | B_FRAME_EVENTS),
	fTextRect(textRect)
{
	_Init(nullptr, nullptr);
}

BTextView::BTextView(BRect frame, const char* name, BRect textRect, const BFont* font,
	const rgb_color* color, uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags | B_FRAME_EVENTS),
	fTextRect(textRect)
{
	_Init(font, color);
}

BTextView::~BTextView()
{
}

void
BTextView::_Init(const BFont* font, const rgb_color* color)
{
	fFont = font != nullptr ? *font : *be_plain_font;
	fColor = color != nullptr ? *color : make_color(0, 0, 0);
	fSelectionStart = fSelectionEnd = fAnchor = 0;
	fWordWrap = true;
	fEditable = true;
	fSelectable = true;
	fStylable = false;
	fTracking = false;
	fAlignment = B_ALIGN_LEFT;
	fMaxBytes = INT32_MAX;
	SetFont(&fFont);
	_Layout();
}

void
BTextView::AttachedToWindow()
{
	BView::AttachedToWindow();
	_UpdateScrollBars();
}

// #pragma mark - layout

void
BTextView::_Layout()
{
	font_height fh;
	fFont.GetHeight(&fh);
	fAscent = ceilf(fh.ascent);
	fLineHeight = ceilf(fh.ascent + fh.descent + fh.leading);
	float maxWidth = fTextRect.Width();

	fLines.clear();
	int32 length = TextLength();
	int32 paragraph = 0;
	for (;;) {
		int32 paragraphEnd = paragraph;
		while (paragraphEnd < length && fText[paragraphEnd] != '\n')
			paragraphEnd++;

		int32 position = paragraph;
		do {
			int32 end = paragraphEnd;
			if (fWordWrap) {
				// Take characters while they fit; spaces may hang past the
				// edge, and the line breaks after the last space that fits.
				int32 lastBreak = -1;
				int32 i = position;
				while (i < paragraphEnd) {
					int32 next = _NextCharacter(i);
					if (fText[i] == ' ') {
						lastBreak = next;
						i = next;
						continue;
					}
					float width = fFont.StringWidth(
						shown_text(fText.substr(position, next - position)).c_str());
					if (width > maxWidth && i > position)
						break;
					i = next;
				}
				if (i < paragraphEnd)
					end = lastBreak > position ? lastBreak : i;
			}
			Line line = {position, end, fTextRect.top + fLines.size() * fLineHeight};
			fLines.push_back(line);
			position = end;
		} while (position < paragraphEnd);

		if (paragraphEnd >= length)
			break;
		paragraph = paragraphEnd + 1;
	}
}

void
BTextView::_Changed()
{
	_Layout();
	_UpdateScrollBars();
	Invalidate();
}

void
BTextView::_UpdateScrollBars()
{
	BScrollBar* bar = ScrollBar(B_VERTICAL);
	if (bar == nullptr)
		return;
	float content = TextHeight(0, CountLines() - 1) + 2 * fTextRect.top;
	float visible = Bounds().Height() + 1;
	bar->SetRange(0, std::max(0.0f, ceilf(content - visible)));
	bar->SetProportion(content > 0 ? std::min(1.0f, visible / content) : 1.0f);
	bar->SetSteps(fLineHeight, std::max(fLineHeight, visible - fLineHeight));
}

std::string
BTextView::_LineText(const Line& line) const
{
	return fText.substr(line.start, line.end - line.start);
}

float
BTextView::_LineWidth(const Line& line) const
{
	std::string text = _LineText(line);
	while (!text.empty() && text.back() == ' ')
		text.pop_back();
	return fFont.StringWidth(shown_text(text).c_str());
}

float
BTextView::_LineLeft(const Line& line) const
{
	float free = fTextRect.Width() - _LineWidth(line);
	switch (fAlignment) {
		case B_ALIGN_RIGHT:
			return fTextRect.left + std::max(0.0f, free);
		case B_ALIGN_CENTER:
			return fTextRect.left + std::max(0.0f, floorf(free / 2));
		default:
			return fTextRect.left;
	}
}

int32
BTextView::_PreviousCharacter(int32 offset) const
{
	if (offset <= 0)
		return 0;
	offset--;
	while (offset > 0 && (static_cast<uint8>(fText[offset]) & 0xc0) == 0x80)
		offset--;
	return offset;
}

int32
BTextView::_NextCharacter(int32 offset) const
{
	int32 length = TextLength();
	if (offset >= length)
		return length;
	offset++;
	while (offset < length && (static_cast<uint8>(fText[offset]) & 0xc0) == 0x80)
		offset++;
	return offset;
}

// #pragma mark - text

void
BTextView::SetText(const char* text, const text_run_array* runs)
{
	SetText(text, text != nullptr ? static_cast<int32>(strlen(text)) : 0, runs);
}

void
BTextView::SetText(const char* text, int32 length, const text_run_array* runs)
{
	fText.assign(text != nullptr ? text : "", text != nullptr ? std::max(0, length) : 0);
	if (runs != nullptr && runs->count > 0)
		SetFontAndColor(&runs->runs[0].font, B_FONT_ALL, &runs->runs[0].color);
	fSelectionStart = fSelectionEnd = fAnchor = 0;
	_Changed();
}

void
BTextView::GetText(int32 offset, int32 length, char* buffer) const
{
	offset = std::clamp(offset, 0, TextLength());
	length = std::clamp(length, 0, TextLength() - offset);
	memcpy(buffer, fText.data() + offset, length);
	buffer[length] = '\0';
}

char
BTextView::ByteAt(int32 offset) const
{
	return offset >= 0 && offset < TextLength() ? fText[offset] : '\0';
}

void
BTextView::Insert(const char* text, const text_run_array* runs)
{
	Insert(text, text != nullptr ? static_cast<int32>(strlen(text)) : 0, runs);
}

void
BTextView::Insert(const char* text, int32 length, const text_run_array* runs)
{
	Insert(fSelectionStart, text, length, runs);
}

void
BTextView::Insert(int32 offset, const char* text, int32 length, const text_run_array*)
{
	if (text == nullptr || length <= 0)
		return;
	length = std::min(length, std::max(0, fMaxBytes - TextLength()));
	if (length == 0)
		return;
	offset = std::clamp(offset, 0, TextLength());
	fText.insert(offset, text, length);
	// The selection moves with the text after it.
	if (fSelectionStart >= offset)
		fSelectionStart += length;
	if (fSelectionEnd >= offset)
		fSelectionEnd += length;
	if (fAnchor >= offset)
		fAnchor += length;
	_Changed();
}

void
BTextView::Delete()
{
	Delete(fSelectionStart, fSelectionEnd);
}

void
BTextView::Delete(int32 start, int32 finish)
{
	start = std::clamp(start, 0, TextLength());
	finish = std::clamp(finish, start, TextLength());
	if (start == finish)
		return;
	fText.erase(start, finish - start);
	auto adjust = [start, finish](int32 offset) {
		if (offset >= finish)
			return offset - (finish - start);
		return std::min(offset, start);
	};
	fSelectionStart = adjust(fSelectionStart);
	fSelectionEnd = adjust(fSelectionEnd);
	fAnchor = adjust(fAnchor);
	_Changed();
}

void
BTextView::Select(int32 start, int32 finish)
{
	start = std::clamp(start, 0, TextLength());
	finish = std::clamp(finish, 0, TextLength());
	if (start > finish)
		std::swap(start, finish);
	fSelectionStart = start;
	fSelectionEnd = finish;
	fAnchor = start;
	Invalidate();
}

void
BTextView::SelectAll()
{
	Select(0, TextLength());
}

void
BTextView::GetSelection(int32* start, int32* finish) const
{
	if (start != nullptr)
		*start = fSelectionStart;
	if (finish != nullptr)
		*finish = fSelectionEnd;
}

// #pragma mark - settings

void
BTextView::SetTextRect(BRect rect)
{
	fTextRect = rect;
	_Changed();
}

void
BTextView::SetWordWrap(bool wrap)
{
	fWordWrap = wrap;
	_Changed();
}

void
BTextView::MakeEditable(bool editable)
{
	fEditable = editable;
	Invalidate();
}

void
BTextView::MakeSelectable(bool selectable)
{
	fSelectable = selectable;
	if (!selectable)
		fSelectionEnd = fSelectionStart;
	Invalidate();
}

void
BTextView::SetAlignment(alignment flag)
{
	fAlignment = flag;
	Invalidate();
}

void
BTextView::SetFontAndColor(const BFont* font, uint32 mode, const rgb_color* color)
{
	if (font != nullptr) {
		if (mode == B_FONT_ALL)
			fFont = *font;
		else
			fFont.CopyFrom(*font, mode);
		SetFont(&fFont);
	}
	if (color != nullptr)
		fColor = *color;
	_Changed();
}

void
BTextView::GetFontAndColor(BFont* font, rgb_color* color) const
{
	if (font != nullptr)
		*font = fFont;
	if (color != nullptr)
		*color = fColor;
}

// #pragma mark - geometry

float
BTextView::LineHeight(int32) const
{
	return fLineHeight;
}

float
BTextView::TextHeight(int32 startLine, int32 endLine) const
{
	startLine = std::max(0, startLine);
	endLine = std::min(CountLines() - 1, endLine);
	return endLine < startLine ? 0 : (endLine - startLine + 1) * fLineHeight;
}

int32
BTextView::LineAt(int32 offset) const
{
	int32 line = 0;
	for (int32 i = 0; i < CountLines(); i++) {
		if (fLines[i].start <= offset)
			line = i;
	}
	return line;
}

int32
BTextView::LineAt(BPoint point) const
{
	int32 line = static_cast<int32>(floorf((point.y - fTextRect.top) / fLineHeight));
	return std::clamp(line, 0, CountLines() - 1);
}

BPoint
BTextView::PointAt(int32 offset, float* height) const
{
	offset = std::clamp(offset, 0, TextLength());
	const Line& line = fLines[LineAt(offset)];
	std::string before = fText.substr(line.start, std::min(offset, line.end) - line.start);
	if (height != nullptr)
		*height = fLineHeight;
	return BPoint(_LineLeft(line) + fFont.StringWidth(shown_text(before).c_str()), line.top);
}

int32
BTextView::OffsetAt(BPoint point) const
{
	const Line& line = fLines[LineAt(point)];
	float x = _LineLeft(line);
	int32 offset = line.start;
	// The boundary nearest to the point.
	while (offset < line.end) {
		int32 next = _NextCharacter(offset);
		float width = fFont.StringWidth(
			shown_text(fText.substr(offset, next - offset)).c_str());
		if (point.x < x + width / 2)
			break;
		x += width;
		offset = next;
	}
	// A wrapped line's trailing space belongs to it; the caret stays
	// before it.
	if (offset == line.end && line.end > line.start && line.end < TextLength()
		&& fText[line.end] != '\n' && fText[line.end - 1] == ' ')
		offset = _PreviousCharacter(offset);
	return offset;
}

int32
BTextView::OffsetAt(int32 line) const
{
	if (line < 0)
		return 0;
	if (line >= CountLines())
		return TextLength();
	return fLines[line].start;
}

void
BTextView::ScrollToOffset(int32 offset)
{
	BPoint point = PointAt(offset);
	BRect bounds = Bounds();
	if (point.y < bounds.top)
		ScrollTo(BPoint(bounds.left, point.y - fTextRect.top));
	else if (point.y + fLineHeight - 1 > bounds.bottom)
		ScrollTo(BPoint(bounds.left, point.y + fLineHeight - 1 - bounds.Height()));
}

void
BTextView::ScrollToSelection()
{
	ScrollToOffset(fSelectionStart);
}

// #pragma mark - drawing

void
BTextView::Draw(BRect updateRect)
{
	bool showSelection = fSelectable && fSelectionStart != fSelectionEnd;
	SetLowColor(ViewColor());
	for (const Line& line : fLines) {
		if (line.top > updateRect.bottom || line.top + fLineHeight - 1 < updateRect.top)
			continue;
		if (showSelection && fSelectionStart <= line.end && fSelectionEnd > line.start) {
			float left = PointAt(std::max(fSelectionStart, line.start)).x;
			float right = fSelectionEnd > line.end ? fTextRect.right
				: PointAt(fSelectionEnd).x - 1;
			SetHighColor(kSelectionColor);
			FillRect(BRect(left, line.top, right, line.top + fLineHeight - 1));
		}
		std::string text = shown_text(_LineText(line));
		if (!text.empty()) {
			SetHighColor(fColor);
			DrawString(text.c_str(), BPoint(_LineLeft(line), line.top + fAscent));
		}
	}
	if (fEditable && IsFocus() && fSelectionStart == fSelectionEnd && Window() != nullptr
		&& Window()->IsActive()) {
		BPoint caret = PointAt(fSelectionStart);
		SetHighColor(fColor);
		StrokeLine(BPoint(caret.x, caret.y), BPoint(caret.x, caret.y + fLineHeight - 1));
	}
}

// #pragma mark - input

void
BTextView::MakeFocus(bool focused)
{
	if (focused == IsFocus())
		return;
	BView::MakeFocus(focused);
	Invalidate();
}

void
BTextView::WindowActivated(bool active)
{
	BView::WindowActivated(active);
	Invalidate();
}

void
BTextView::FrameResized(float width, float height)
{
	BView::FrameResized(width, height);
	_UpdateScrollBars();
}

void
BTextView::_MoveCaret(int32 offset, bool extend)
{
	offset = std::clamp(offset, 0, TextLength());
	if (extend) {
		fSelectionStart = std::min(fAnchor, offset);
		fSelectionEnd = std::max(fAnchor, offset);
	} else {
		fSelectionStart = fSelectionEnd = fAnchor = offset;
	}
	ScrollToOffset(offset);
	Invalidate();
}

void
BTextView::_ReplaceSelection(const char* text, int32 length)
{
	int32 start = fSelectionStart;
	Delete(fSelectionStart, fSelectionEnd);
	int32 before = TextLength();
	Insert(start, text, length);
	int32 caret = start + (TextLength() - before);
	fSelectionStart = fSelectionEnd = fAnchor = caret;
	ScrollToOffset(caret);
	Invalidate();
}

void
BTextView::MouseDown(BPoint where)
{
	if (!fSelectable)
		return;
	MakeFocus(true);
	int32 modifiers = 0;
	if (Window() != nullptr && Window()->CurrentMessage() != nullptr)
		Window()->CurrentMessage()->FindInt32("modifiers", &modifiers);
	_MoveCaret(OffsetAt(where), (modifiers & B_SHIFT_KEY) != 0);
	fTracking = true;
}

void
BTextView::MouseMoved(BPoint where, uint32, const BMessage*)
{
	if (fTracking)
		_MoveCaret(OffsetAt(where), true);
}

void
BTextView::MouseUp(BPoint)
{
	fTracking = false;
}

void
BTextView::KeyDown(const char* bytes, int32 numBytes)
{
	int32 modifiers = 0;
	if (Window() != nullptr && Window()->CurrentMessage() != nullptr)
		Window()->CurrentMessage()->FindInt32("modifiers", &modifiers);
	bool shift = (modifiers & B_SHIFT_KEY) != 0;
	int32 caret = fSelectionStart == fAnchor ? fSelectionEnd : fSelectionStart;
	uint8 key = static_cast<uint8>(bytes[0]);

	switch (key) {
		case B_PAGE_UP:
		case B_PAGE_DOWN:
		{
			float page = Bounds().Height() + 1 - fLineHeight;
			ScrollBy(0, key == B_PAGE_UP ? -page : page);
			return;
		}
		default:
			break;
	}
	if (!fSelectable && !fEditable) {
		BView::KeyDown(bytes, numBytes);
		return;
	}

	switch (key) {
		case B_LEFT_ARROW:
			_MoveCaret(!shift && fSelectionStart != fSelectionEnd ? fSelectionStart
				: _PreviousCharacter(caret), shift);
			return;
		case B_RIGHT_ARROW:
			_MoveCaret(!shift && fSelectionStart != fSelectionEnd ? fSelectionEnd
				: _NextCharacter(caret), shift);
			return;
		case B_UP_ARROW:
		case B_DOWN_ARROW:
		{
			BPoint point = PointAt(caret);
			point.y += key == B_UP_ARROW ? -fLineHeight : fLineHeight;
			int32 line = LineAt(caret) + (key == B_UP_ARROW ? -1 : 1);
			if (line < 0)
				_MoveCaret(0, shift);
			else if (line >= CountLines())
				_MoveCaret(TextLength(), shift);
			else
				_MoveCaret(OffsetAt(point), shift);
			return;
		}
		case B_HOME:
			_MoveCaret(fLines[LineAt(caret)].start, shift);
			return;
		case B_END:
			_MoveCaret(fLines[LineAt(caret)].end, shift);
			return;
		default:
			break;
	}
	if (!fEditable) {
		BView::KeyDown(bytes, numBytes);
		return;
	}

	switch (key) {
		case B_BACKSPACE:
			if (fSelectionStart == fSelectionEnd)
				fSelectionStart = _PreviousCharacter(fSelectionStart);
			_ReplaceSelection("", 0);
			return;
		case B_DELETE:
			if (fSelectionStart == fSelectionEnd)
				fSelectionEnd = _NextCharacter(fSelectionEnd);
			_ReplaceSelection("", 0);
			return;
		case B_ENTER:
			_ReplaceSelection("\n", 1);
			return;
		case B_TAB:
			_ReplaceSelection("\t", 1);
			return;
		default:
			break;
	}
	// Other control characters do nothing; everything else is text.
	if (key < 0x20)
		return;
	_ReplaceSelection(bytes, numBytes);
}

void
BTextView::MessageReceived(BMessage* message)
{
	if (message->what == B_SELECT_ALL) {
		if (fSelectable)
			SelectAll();
		return;
	}
	BView::MessageReceived(message);
}
