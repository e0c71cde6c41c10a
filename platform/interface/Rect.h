#ifndef _RECT_H
#define _RECT_H

// A rectangle whose edges lie on its coordinates: it includes its right and
// bottom edges, so (0, 0, 17, 17) covers 18 x 18 pixels and Width() is 17
// ('RECT' in messages). A rectangle whose right is left of its left (or
// bottom above its top) is invalid; the default rectangle is invalid.

#include <Point.h>

class BRect {
public:
	float left;
	float top;
	float right;
	float bottom;

	BRect() : left(0.0f), top(0.0f), right(-1.0f), bottom(-1.0f) {}
	BRect(float left, float top, float right, float bottom)
		: left(left), top(top), right(right), bottom(bottom) {}
	BRect(BPoint leftTop, BPoint rightBottom)
		: left(leftTop.x), top(leftTop.y), right(rightBottom.x), bottom(rightBottom.y) {}

	void Set(float left, float top, float right, float bottom);
	void PrintToStream() const;

	BPoint LeftTop() const { return BPoint(left, top); }
	BPoint RightBottom() const { return BPoint(right, bottom); }
	BPoint LeftBottom() const { return BPoint(left, bottom); }
	BPoint RightTop() const { return BPoint(right, top); }
	void SetLeftTop(BPoint point);
	void SetRightBottom(BPoint point);
	void SetLeftBottom(BPoint point);
	void SetRightTop(BPoint point);

	// Insetting by a negative amount grows the rectangle.
	void InsetBy(float dx, float dy);
	void InsetBy(BPoint delta) { InsetBy(delta.x, delta.y); }
	BRect& InsetBySelf(float dx, float dy);
	BRect InsetByCopy(float dx, float dy) const;
	void OffsetBy(float dx, float dy);
	void OffsetBy(BPoint delta) { OffsetBy(delta.x, delta.y); }
	BRect& OffsetBySelf(float dx, float dy);
	BRect OffsetByCopy(float dx, float dy) const;
	// Moves the rectangle so that its left-top corner is at the point.
	void OffsetTo(float x, float y);
	void OffsetTo(BPoint point) { OffsetTo(point.x, point.y); }
	BRect& OffsetToSelf(float x, float y);
	BRect OffsetToCopy(float x, float y) const;

	bool operator==(BRect other) const;
	bool operator!=(BRect other) const;
	// The intersection (invalid when they do not meet) and the smallest
	// rectangle that holds both.
	BRect operator&(BRect other) const;
	BRect operator|(BRect other) const;

	bool IsValid() const { return left <= right && top <= bottom; }
	float Width() const { return right - left; }
	int32 IntegerWidth() const;
	float Height() const { return bottom - top; }
	int32 IntegerHeight() const;

	bool Intersects(BRect other) const;
	bool Contains(BPoint point) const;
	bool Contains(BRect other) const;
};

#endif // _RECT_H
