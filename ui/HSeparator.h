#ifndef _H_SEPARATOR_H
#define _H_SEPARATOR_H

// An etched horizontal line: a grey line at y with a white one below it.
// The view's high colour is left as it was.

class BView;

void DrawHSeparator(float left, float right, float y, BView* view);

#endif // _H_SEPARATOR_H
