#include <Rect.h>

#include <cmath>
#include <cstdio>

void
BRect::Set(float newLeft, float newTop, float newRight, float newBottom)
{
	left = newLeft;
	top = newTop;
	right = newRight;
	bottom = newBottom;
}

void
BRect::PrintToStream() const
{
	printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)\n", left, top, right, bottom);
}

void
BRect::SetLeftTop(BPoint point)
{
	left = point.x;
	top = point.y;
}

void
BRect::SetRightBottom(BPoint point)
{
	right = point.x;
	bottom = point.y;
}

void
BRect::SetLeftBottom(BPoint point)
{
	left = point.x;
	bottom = point.y;
}

void
BRect::SetRightTop(BPoint point)
{
	right = point.x;
	top = point.y;
}

void
BRect::InsetBy(float dx, float dy)
{
	left += dx;
	right -= dx;
	top += dy;
	bottom -= dy;
}

BRect&
BRect::InsetBySelf(float dx, float dy)
{
	InsetBy(dx, dy);
	return *this;
}

BRect
BRect::InsetByCopy(float dx, float dy) const
{
	BRect copy(*this);
	copy.InsetBy(dx, dy);
	return copy;
}

void
BRect::OffsetBy(float dx, float dy)
{
	left += dx;
	right += dx;
	top += dy;
	bottom += dy;
}

BRect&
BRect::OffsetBySelf(float dx, float dy)
{
	OffsetBy(dx, dy);
	return *this;
}

BRect
BRect::OffsetByCopy(float dx, float dy) const
{
	BRect copy(*this);
	copy.OffsetBy(dx, dy);
	return copy;
}

void
BRect::OffsetTo(float x, float y)
{
	OffsetBy(x - left, y - top);
}

BRect&
BRect::OffsetToSelf(float x, float y)
{
	OffsetTo(x, y);
	return *this;
}

BRect
BRect::OffsetToCopy(float x, float y) const
{
	BRect copy(*this);
	copy.OffsetTo(x, y);
	return copy;
}

bool
BRect::operator==(BRect other) const
{
	return left == other.left && top == other.top && right == other.right
		&& bottom == other.bottom;
}

bool
BRect::operator!=(BRect other) const
{
	return !(*this == other);
}

BRect
BRect::operator&(BRect other) const
{
	return BRect(max_c(left, other.left), max_c(top, other.top),
		min_c(right, other.right), min_c(bottom, other.bottom));
}

BRect
BRect::operator|(BRect other) const
{
	return BRect(min_c(left, other.left), min_c(top, other.top),
		max_c(right, other.right), max_c(bottom, other.bottom));
}

int32
BRect::IntegerWidth() const
{
	return static_cast<int32>(ceilf(right - left));
}

int32
BRect::IntegerHeight() const
{
	return static_cast<int32>(ceilf(bottom - top));
}

bool
BRect::Intersects(BRect other) const
{
	if (!IsValid() || !other.IsValid())
		return false;
	return !(other.right < left || other.left > right || other.bottom < top
		|| other.top > bottom);
}

bool
BRect::Contains(BPoint point) const
{
	return point.x >= left && point.x <= right && point.y >= top && point.y <= bottom;
}

bool
BRect::Contains(BRect other) const
{
	return other.left >= left && other.right <= right && other.top >= top
		&& other.bottom <= bottom;
}
