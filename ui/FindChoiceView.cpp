#include "FindChoiceView.h"

#include "FindChoiceWind.h"
#include "FindItem.h"
#include "FindListView.h"
#include "StringItem.h"

#include <Button.h>
#include <Entry.h>
#include <EntryList.h>
#include <Font.h>
#include <Path.h>
#include <ScrollView.h>
#include <StringView.h>

#include <cstdio>

namespace {

const rgb_color kBackground = {230, 230, 230, 0};

BStringView*
AddSentence(BView* parent, BRect frame, const char* text)
{
	BStringView* sentence = new BStringView(frame, "", text,
		B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
	parent->AddChild(sentence);
	// Set once attached: a string view otherwise takes its parent's colour.
	sentence->SetViewColor(kBackground);
	sentence->SetFont(be_plain_font, B_FONT_ALL);
	return sentence;
}

// The full path of every match, in the order the list delivers them.
RList<StringItem*>*
RowsOf(BEntryList* results)
{
	RList<StringItem*>* rows = new RList<StringItem*>(20);
	if (results == NULL)
		return rows;
	results->Rewind();
	BEntry entry;
	while (results->GetNextEntry(&entry, false) == B_OK) {
		BPath path;
		entry.GetPath(&path);
		rows->AddItem(new StringItem(path.Path() != NULL ? path.Path() : ""));
	}
	return rows;
}

} // namespace


FindChoiceView::FindChoiceView(BRect frame)
	:
	BView(frame, "", B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
{
	SetViewColor(kBackground);
}


void
FindChoiceView::AttachedToWindow()
{
	BView::AttachedToWindow();
	FindChoiceWind* window = dynamic_cast<FindChoiceWind*>(Window());
	BRect inner = Bounds().InsetByCopy(12, 8);

	BRect buttonFrame(inner.right - 79, inner.bottom - 26, inner.right - 4,
		inner.bottom);
	BButton* continueButton = new BButton(buttonFrame, kChoiceContinueName, "Continue",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE);
	AddChild(continueButton);
	continueButton->MakeDefault(true);
	if (window != NULL)
		window->fContinueButton = continueButton;

	buttonFrame.OffsetBy(-110, 0);
	AddChild(new BButton(buttonFrame, kChoiceCancelName, "Cancel",
		new BMessage(B_QUIT_REQUESTED), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
		B_WILL_DRAW | B_NAVIGABLE));

	char text[1024];
	const char* name = window != NULL && window->fItem != NULL
		? window->fItem->fPath : NULL;
	snprintf(text, sizeof(text), "%s returned multiple search results.",
		name != NULL ? name : "");
	BRect sentenceFrame(inner.left, inner.top, inner.right, inner.top + 16);
	AddSentence(this, sentenceFrame, text);
	sentenceFrame.OffsetBy(0, 14);
	AddSentence(this, sentenceFrame,
		"Select the location where you would like to install:");

	RList<StringItem*>* rows = RowsOf(window != NULL ? window->fResults : NULL);
	BRect listFrame(inner.left, sentenceFrame.bottom + 12, inner.right - 14,
		inner.bottom - 48);
	FindListView* list = new FindListView(listFrame, rows);
	AddChild(new BScrollView("scroller", list, B_FOLLOW_ALL_SIDES, 0, false,
		true, B_FANCY_BORDER));

	// The first match is the answer until the user picks another.
	list->MakeFocus(true);
	list->SelectItem(0);
	list->SelectionSet();
}
