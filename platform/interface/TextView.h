#ifndef _TEXT_VIEW_H
#define _TEXT_VIEW_H

// Text laid out in a text rectangle (wrapped at its width when word wrap
// is on), which may be selectable and editable. A stylable view keeps runs
// of font and colour over its text; otherwise one font and colour serve
// the whole text.

#include <View.h>

#include <string>
#include <vector>

struct text_run {
	int32 offset;
	BFont font;
	rgb_color color;
};

struct text_run_array {
	int32 count;
	text_run runs[1];
};

class BTextView : public BView {
public:
	BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode,
		uint32 flags);
	BTextView(BRect frame, const char* name, BRect textRect, const BFont* font,
		const rgb_color* color, uint32 resizingMode, uint32 flags);
	~BTextView() override;

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void MouseDown(BPoint where) override;
	void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
	void MouseUp(BPoint where) override;
	void KeyDown(const char* bytes, int32 numBytes) override;
	void MakeFocus(bool focused = true) override;
	void WindowActivated(bool active) override;
	void FrameResized(float width, float height) override;
	void MessageReceived(BMessage* message) override;

	void SetText(const char* text, const text_run_array* runs = nullptr);
	void SetText(const char* text, int32 length, const text_run_array* runs = nullptr);
	const char* Text() const { return fText.c_str(); }
	int32 TextLength() const { return static_cast<int32>(fText.size()); }
	void GetText(int32 offset, int32 length, char* buffer) const;
	char ByteAt(int32 offset) const;

	// Inserts at the caret (or an offset), replacing nothing.
	void Insert(const char* text, const text_run_array* runs = nullptr);
	void Insert(const char* text, int32 length, const text_run_array* runs = nullptr);
	void Insert(int32 offset, const char* text, int32 length,
		const text_run_array* runs = nullptr);
	// Deletes the selection, or a range.
	void Delete();
	void Delete(int32 start, int32 finish);

	virtual void Select(int32 start, int32 finish);
	void SelectAll();
	void GetSelection(int32* start, int32* finish) const;

	void SetTextRect(BRect rect);
	BRect TextRect() const { return fTextRect; }
	void SetWordWrap(bool wrap);
	bool DoesWordWrap() const { return fWordWrap; }
	void MakeEditable(bool editable = true);
	bool IsEditable() const { return fEditable; }
	void MakeSelectable(bool selectable = true);
	bool IsSelectable() const { return fSelectable; }
	void SetStylable(bool stylable) { fStylable = stylable; }
	bool IsStylable() const { return fStylable; }
	void SetAlignment(alignment flag);
	alignment Alignment() const { return fAlignment; }
	// The whole text when the view is not stylable, else the selection
	// (or the range given).
	void SetFontAndColor(const BFont* font, uint32 mode = B_FONT_ALL,
		const rgb_color* color = nullptr);
	void SetFontAndColor(int32 start, int32 end, const BFont* font,
		uint32 mode = B_FONT_ALL, const rgb_color* color = nullptr);
	// The font and colour at the start of the selection.
	void GetFontAndColor(BFont* font, rgb_color* color) const;
	void GetFontAndColor(int32 offset, BFont* font, rgb_color* color) const;
	// Applies runs (offsets relative to start) to the range.
	void SetRunArray(int32 start, int32 end, const text_run_array* runs);
	// The runs over a range, offsets relative to start; free with
	// FreeRunArray.
	text_run_array* RunArray(int32 start, int32 end, int32* length = nullptr) const;

	static text_run_array* AllocRunArray(int32 count, int32* size = nullptr);
	static void FreeRunArray(text_run_array* array);
	// The platform's flattened form: big-endian, magic 'Ali!', version 0,
	// count, then per run offset, family (64 bytes), style (64 bytes),
	// size, shear, face, red, green, blue, alpha and two reserved bytes.
	// Both results are malloc'ed (free / FreeRunArray).
	static void* FlattenRunArray(const text_run_array* array, int32* size = nullptr);
	static text_run_array* UnflattenRunArray(const void* data, int32* size = nullptr);
	void SetMaxBytes(int32 max) { fMaxBytes = max; }
	int32 MaxBytes() const { return fMaxBytes; }

	int32 CountLines() const { return static_cast<int32>(fLines.size()); }
	int32 CurrentLine() const { return LineAt(fSelectionStart); }
	float LineHeight(int32 line = 0) const;
	float TextHeight(int32 startLine, int32 endLine) const;
	int32 LineAt(int32 offset) const;
	int32 LineAt(BPoint point) const;
	BPoint PointAt(int32 offset, float* height = nullptr) const;
	int32 OffsetAt(BPoint point) const;
	int32 OffsetAt(int32 line) const;

	void ScrollToOffset(int32 offset);
	void ScrollToSelection();

private:
	struct Line {
		int32 start;
		int32 end;
		float top;
		float height;
		float ascent;
	};

	struct Run {
		int32 offset;
		BFont font;
		rgb_color color;
	};

	void _Init(const BFont* font, const rgb_color* color);
	void _Layout();
	void _Changed();
	void _UpdateScrollBars();
	float _Width(int32 start, int32 end) const;
	int32 _RunAt(int32 offset) const;
	void _ApplyStyle(int32 start, int32 end, const BFont* font, uint32 mode,
		const rgb_color* color);
	void _MergeRuns();
	float _LineWidth(const Line& line) const;
	float _LineLeft(const Line& line) const;
	std::string _LineText(const Line& line) const;
	int32 _PreviousCharacter(int32 offset) const;
	int32 _NextCharacter(int32 offset) const;
	void _MoveCaret(int32 offset, bool extend);
	void _ReplaceSelection(const char* text, int32 length);

	std::string fText;
	std::vector<Line> fLines;
	BRect fTextRect;
	std::vector<Run> fRuns;
	int32 fSelectionStart;
	int32 fSelectionEnd;
	int32 fAnchor;
	bool fWordWrap;
	bool fEditable;
	bool fSelectable;
	bool fStylable;
	bool fTracking;
	alignment fAlignment;
	int32 fMaxBytes;
};

#endif // _TEXT_VIEW_H
