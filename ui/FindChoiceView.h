#ifndef _FIND_CHOICE_VIEW_H
#define _FIND_CHOICE_VIEW_H

// The contents of the multiple-results chooser, built when the view is
// attached to its FindChoiceWind: the two sentences, the list of matches in
// a scroll view, and the "Cancel" and "Continue" buttons.

#include <View.h>

const char* const kChoiceContinueName = "continue";
const char* const kChoiceCancelName = "cancel";

class FindChoiceView : public BView {
public:
	FindChoiceView(BRect frame);

	void AttachedToWindow() override;
};

#endif // _FIND_CHOICE_VIEW_H
