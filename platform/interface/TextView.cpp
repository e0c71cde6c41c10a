#include <TextView.h>

#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

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
	Run run = {0, font != nullptr ? *font : *be_plain_font,
		color != nullptr ? *color : make_color(0, 0, 0)};
	fRuns.push_back(run);
	fSelectionStart = fSelectionEnd = fAnchor = 0;
	fWordWrap = true;
	fEditable = true;
	fSelectable = true;
	fStylable = false;
	fTracking = false;
	fAlignment = B_ALIGN_LEFT;
	fMaxBytes = INT32_MAX;
	SetFont(&fRuns[0].font);
	_Layout();
}

void
BTextView::AttachedToWindow()
{
	BView::AttachedToWindow();
	_UpdateScrollBars();
}

// #pragma mark - layout

int32
BTextView::_RunAt(int32 offset) const
{
	int32 index = 0;
	for (int32 i = 0; i < static_cast<int32>(fRuns.size()); i++) {
		if (fRuns[i].offset <= offset)
			index = i;
	}
	return index;
}

float
BTextView::_Width(int32 start, int32 end) const
{
	// Each run's part in its own font.
	float width = 0;
	while (start < end) {
		int32 run = _RunAt(start);
		int32 runEnd = run + 1 < static_cast<int32>(fRuns.size())
			? std::min(end, fRuns[run + 1].offset) : end;
		width += fRuns[run].font.StringWidth(
			shown_text(fText.substr(start, runEnd - start)).c_str());
		start = runEnd;
	}
	return width;
}

void
BTextView::_Layout()
{
	float maxWidth = fTextRect.Width();
	fLines.clear();
	int32 length = TextLength();
	int32 paragraph = 0;
	float top = fTextRect.top;
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
					if (_Width(position, next) > maxWidth && i > position)
						break;
					i = next;
				}
				if (i < paragraphEnd)
					end = lastBreak > position ? lastBreak : i;
			}
			// The line is as tall as the tallest font on it.
			float ascent = 0, below = 0;
			int32 first = _RunAt(position);
			int32 last = _RunAt(std::max(position, end - 1));
			for (int32 run = first; run <= last; run++) {
				font_height fh;
				fRuns[run].font.GetHeight(&fh);
				ascent = std::max(ascent, ceilf(fh.ascent));
				below = std::max(below, ceilf(fh.descent + fh.leading));
			}
			Line line = {position, end, top, ascent + below, ascent};
			fLines.push_back(line);
			top += line.height;
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
	float step = LineHeight(0);
	bar->SetRange(0, std::max(0.0f, ceilf(content - visible)));
	bar->SetProportion(content > 0 ? std::min(1.0f, visible / content) : 1.0f);
	bar->SetSteps(step, std::max(step, visible - step));
}

std::string
BTextView::_LineText(const Line& line) const
{
	return fText.substr(line.start, line.end - line.start);
}

float
BTextView::_LineWidth(const Line& line) const
{
	int32 end = line.end;
	while (end > line.start && fText[end - 1] == ' ')
		end--;
	return _Width(line.start, end);
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
	// The new text starts in the style of the old text's start.
	fRuns.resize(1);
	fSelectionStart = fSelectionEnd = fAnchor = 0;
	if (runs != nullptr)
		SetRunArray(0, TextLength(), runs);
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
	// Inserted text takes the style of the text before it.
	for (size_t i = 1; i < fRuns.size(); i++) {
		if (fRuns[i].offset >= offset && fRuns[i].offset > 0)
			fRuns[i].offset += length;
	}
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
	for (size_t i = 1; i < fRuns.size(); i++)
		fRuns[i].offset = adjust(fRuns[i].offset);
	_MergeRuns();
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
	if (fStylable)
		SetFontAndColor(fSelectionStart, fSelectionEnd, font, mode, color);
	else
		SetFontAndColor(0, TextLength(), font, mode, color);
}

void
BTextView::SetFontAndColor(int32 start, int32 end, const BFont* font, uint32 mode,
	const rgb_color* color)
{
	if (!fStylable) {
		// One style for everything.
		start = 0;
		end = TextLength();
		fRuns.resize(1);
	}
	_ApplyStyle(start, end, font, mode, color);
	if (fRuns[0].offset == 0)
		SetFont(&fRuns[0].font);
	_Changed();
}

void
BTextView::_ApplyStyle(int32 start, int32 end, const BFont* font, uint32 mode,
	const rgb_color* color)
{
	start = std::clamp(start, 0, TextLength());
	end = std::clamp(end, start, TextLength());
	bool whole = start == 0 && end >= TextLength();
	if (start == end && !whole)
		return;
	// Split the runs at both ends, then restyle every run inside.
	auto split = [this](int32 offset) {
		int32 run = _RunAt(offset);
		if (fRuns[run].offset != offset) {
			Run copy = fRuns[run];
			copy.offset = offset;
			fRuns.insert(fRuns.begin() + run + 1, copy);
		}
	};
	split(start);
	if (end < TextLength())
		split(end);
	for (Run& run : fRuns) {
		bool inside = run.offset >= start && (run.offset < end || whole);
		if (!inside)
			continue;
		if (font != nullptr) {
			if (mode == B_FONT_ALL)
				run.font = *font;
			else
				run.font.CopyFrom(*font, mode);
		}
		if (color != nullptr)
			run.color = *color;
	}
	_MergeRuns();
}

void
BTextView::_MergeRuns()
{
	// Runs that start at the same place, or look the same as the run
	// before them, are one.
	std::vector<Run> merged;
	for (const Run& run : fRuns) {
		if (!merged.empty() && merged.back().offset == run.offset) {
			merged.back() = run;
			continue;
		}
		if (!merged.empty() && merged.back().font == run.font
			&& merged.back().color == run.color)
			continue;
		merged.push_back(run);
	}
	merged[0].offset = 0;
	fRuns = merged;
}

void
BTextView::GetFontAndColor(BFont* font, rgb_color* color) const
{
	GetFontAndColor(fSelectionStart, font, color);
}

void
BTextView::GetFontAndColor(int32 offset, BFont* font, rgb_color* color) const
{
	const Run& run = fRuns[_RunAt(offset)];
	if (font != nullptr)
		*font = run.font;
	if (color != nullptr)
		*color = run.color;
}

void
BTextView::SetRunArray(int32 start, int32 end, const text_run_array* runs)
{
	if (runs == nullptr || runs->count <= 0)
		return;
	start = std::clamp(start, 0, TextLength());
	end = std::clamp(end, start, TextLength());
	if (!fStylable) {
		SetFontAndColor(&runs->runs[0].font, B_FONT_ALL, &runs->runs[0].color);
		return;
	}
	for (int32 i = 0; i < runs->count; i++) {
		int32 runStart = start + runs->runs[i].offset;
		int32 runEnd = i + 1 < runs->count ? start + runs->runs[i + 1].offset : end;
		_ApplyStyle(runStart, std::min(runEnd, end), &runs->runs[i].font, B_FONT_ALL,
			&runs->runs[i].color);
	}
	_Changed();
}

text_run_array*
BTextView::RunArray(int32 start, int32 end, int32* length) const
{
	start = std::clamp(start, 0, TextLength());
	end = std::clamp(end, start, TextLength());
	int32 first = _RunAt(start);
	int32 last = _RunAt(std::max(start, end - 1));
	text_run_array* array = AllocRunArray(last - first + 1, length);
	for (int32 i = first; i <= last; i++) {
		text_run& run = array->runs[i - first];
		run.offset = std::max(fRuns[i].offset, start) - start;
		run.font = fRuns[i].font;
		run.color = fRuns[i].color;
	}
	return array;
}

text_run_array*
BTextView::AllocRunArray(int32 count, int32* size)
{
	count = std::max(1, count);
	int32 bytes = static_cast<int32>(sizeof(text_run_array) + (count - 1) * sizeof(text_run));
	text_run_array* array = static_cast<text_run_array*>(malloc(bytes));
	if (array == nullptr)
		return nullptr;
	array->count = count;
	for (int32 i = 0; i < count; i++) {
		new (&array->runs[i]) text_run();
		array->runs[i].offset = 0;
		array->runs[i].color = make_color(0, 0, 0);
	}
	if (size != nullptr)
		*size = bytes;
	return array;
}

void
BTextView::FreeRunArray(text_run_array* array)
{
	if (array == nullptr)
		return;
	for (int32 i = 0; i < array->count; i++)
		array->runs[i].~text_run();
	free(array);
}

namespace {

const uint32 kFlattenedRunsMagic = 'Ali!';
const int32 kFlattenedRunSize = 4 + 64 + 64 + 4 + 4 + 2 + 4 + 2;
const int32 kFlattenedHeaderSize = 12;

void
put32(uint8* data, uint32 value)
{
	data[0] = value >> 24;
	data[1] = value >> 16;
	data[2] = value >> 8;
	data[3] = value;
}

uint32
get32(const uint8* data)
{
	return (uint32(data[0]) << 24) | (uint32(data[1]) << 16) | (uint32(data[2]) << 8)
		| data[3];
}

void
put_float(uint8* data, float value)
{
	uint32 bits;
	memcpy(&bits, &value, 4);
	put32(data, bits);
}

float
get_float(const uint8* data)
{
	uint32 bits = get32(data);
	float value;
	memcpy(&value, &bits, 4);
	return value;
}

} // namespace

void*
BTextView::FlattenRunArray(const text_run_array* array, int32* size)
{
	if (array == nullptr || array->count < 0)
		return nullptr;
	int32 bytes = kFlattenedHeaderSize + array->count * kFlattenedRunSize;
	uint8* data = static_cast<uint8*>(calloc(1, bytes));
	if (data == nullptr)
		return nullptr;
	put32(data, kFlattenedRunsMagic);
	put32(data + 4, 0);
	put32(data + 8, array->count);
	for (int32 i = 0; i < array->count; i++) {
		const text_run& run = array->runs[i];
		uint8* out = data + kFlattenedHeaderSize + i * kFlattenedRunSize;
		put32(out, run.offset);
		font_family family;
		font_style style;
		run.font.GetFamilyAndStyle(&family, &style);
		memcpy(out + 4, family, strnlen(family, 63));
		memcpy(out + 68, style, strnlen(style, 63));
		put_float(out + 132, run.font.Size());
		put_float(out + 136, run.font.Shear());
		out[140] = run.font.Face() >> 8;
		out[141] = run.font.Face() & 0xff;
		out[142] = run.color.red;
		out[143] = run.color.green;
		out[144] = run.color.blue;
		out[145] = run.color.alpha;
	}
	if (size != nullptr)
		*size = bytes;
	return data;
}

text_run_array*
BTextView::UnflattenRunArray(const void* flattened, int32* size)
{
	const uint8* data = static_cast<const uint8*>(flattened);
	if (data == nullptr || get32(data) != kFlattenedRunsMagic || get32(data + 4) != 0)
		return nullptr;
	int32 count = static_cast<int32>(get32(data + 8));
	if (count <= 0 || count > 1000000)
		return nullptr;
	text_run_array* array = AllocRunArray(count, nullptr);
	if (array == nullptr)
		return nullptr;
	for (int32 i = 0; i < count; i++) {
		const uint8* in = data + kFlattenedHeaderSize + i * kFlattenedRunSize;
		text_run& run = array->runs[i];
		run.offset = static_cast<int32>(get32(in));
		char family[65] = {0};
		char style[65] = {0};
		memcpy(family, in + 4, 64);
		memcpy(style, in + 68, 64);
		run.font.SetFamilyAndStyle(family, style);
		run.font.SetSize(get_float(in + 132));
		run.font.SetShear(get_float(in + 136));
		uint16 face = (uint16(in[140]) << 8) | in[141];
		if (face != 0)
			run.font.SetFace(face);
		run.color = make_color(in[142], in[143], in[144], in[145]);
	}
	if (size != nullptr)
		*size = kFlattenedHeaderSize + count * kFlattenedRunSize;
	return array;
}

// #pragma mark - geometry

float
BTextView::LineHeight(int32 line) const
{
	line = std::clamp(line, 0, CountLines() - 1);
	return fLines[line].height;
}

float
BTextView::TextHeight(int32 startLine, int32 endLine) const
{
	startLine = std::max(0, startLine);
	endLine = std::min(CountLines() - 1, endLine);
	float height = 0;
	for (int32 line = startLine; line <= endLine; line++)
		height += fLines[line].height;
	return height;
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
	int32 line = 0;
	for (int32 i = 0; i < CountLines(); i++) {
		if (fLines[i].top <= point.y)
			line = i;
	}
	return line;
}

BPoint
BTextView::PointAt(int32 offset, float* height) const
{
	offset = std::clamp(offset, 0, TextLength());
	const Line& line = fLines[LineAt(offset)];
	if (height != nullptr)
		*height = line.height;
	return BPoint(_LineLeft(line) + _Width(line.start, std::min(offset, line.end)), line.top);
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
		float width = _Width(offset, next);
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
	float height;
	BPoint point = PointAt(offset, &height);
	BRect bounds = Bounds();
	if (point.y < bounds.top)
		ScrollTo(BPoint(bounds.left, point.y - fTextRect.top));
	else if (point.y + height - 1 > bounds.bottom)
		ScrollTo(BPoint(bounds.left, point.y + height - 1 - bounds.Height()));
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
		if (line.top > updateRect.bottom || line.top + line.height - 1 < updateRect.top)
			continue;
		if (showSelection && fSelectionStart <= line.end && fSelectionEnd > line.start) {
			float left = PointAt(std::max(fSelectionStart, line.start)).x;
			float right = fSelectionEnd > line.end ? fTextRect.right
				: PointAt(fSelectionEnd).x - 1;
			SetHighColor(kSelectionColor);
			FillRect(BRect(left, line.top, right, line.top + line.height - 1));
		}
		// Each run's part in its font and colour, on the common baseline.
		float x = _LineLeft(line);
		int32 position = line.start;
		while (position < line.end) {
			int32 run = _RunAt(position);
			int32 runEnd = run + 1 < static_cast<int32>(fRuns.size())
				? std::min(line.end, fRuns[run + 1].offset) : line.end;
			std::string part = shown_text(fText.substr(position, runEnd - position));
			SetFont(&fRuns[run].font);
			SetHighColor(fRuns[run].color);
			DrawString(part.c_str(), BPoint(x, line.top + line.ascent));
			x += fRuns[run].font.StringWidth(part.c_str());
			position = runEnd;
		}
	}
	if (fEditable && IsFocus() && fSelectionStart == fSelectionEnd && Window() != nullptr
		&& Window()->IsActive()) {
		float height;
		BPoint caret = PointAt(fSelectionStart, &height);
		SetHighColor(fRuns[_RunAt(fSelectionStart)].color);
		StrokeLine(BPoint(caret.x, caret.y), BPoint(caret.x, caret.y + height - 1));
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
			// The page keys scroll, through the scroll bar, in every text.
			BView::KeyDown(bytes, numBytes);
			return;
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
			int32 line = LineAt(caret) + (key == B_UP_ARROW ? -1 : 1);
			BPoint point(PointAt(caret).x, 0);
			if (line >= 0 && line < CountLines())
				point.y = fLines[line].top;
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
