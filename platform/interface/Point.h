#ifndef _POINT_H
#define _POINT_H

// A point in a two-dimensional coordinate space ('BPNT' in messages).

#include <SupportDefs.h>

class BRect;

class BPoint {
public:
	float x;
	float y;

	BPoint() : x(0.0f), y(0.0f) {}
	BPoint(float x, float y) : x(x), y(y) {}

	void Set(float x, float y);
	// Moves the point to the nearest point inside the rectangle.
	void ConstrainTo(BRect rect);
	void PrintToStream() const;

	BPoint operator-() const;
	BPoint operator+(const BPoint& other) const;
	BPoint operator-(const BPoint& other) const;
	BPoint& operator+=(const BPoint& other);
	BPoint& operator-=(const BPoint& other);
	bool operator==(const BPoint& other) const;
	bool operator!=(const BPoint& other) const;
};

extern const BPoint B_ORIGIN;

#endif // _POINT_H
