#include <Point.h>
#include <Rect.h>

#include <gtest/gtest.h>

TEST(Point, ArithmeticComparisonAndConstraint)
{
	BPoint a(3, 4);
	BPoint b(1, -2);
	EXPECT_EQ(a + b, BPoint(4, 2));
	EXPECT_EQ(a - b, BPoint(2, 6));
	EXPECT_EQ(-a, BPoint(-3, -4));
	a += b;
	EXPECT_EQ(a, BPoint(4, 2));
	a -= BPoint(4, 2);
	EXPECT_EQ(a, B_ORIGIN);
	EXPECT_NE(a, b);
	EXPECT_EQ(BPoint(), B_ORIGIN);

	BPoint outside(50, -10);
	outside.ConstrainTo(BRect(0, 0, 17, 17));
	EXPECT_EQ(outside, BPoint(17, 0));
	BPoint inside(5, 6);
	inside.ConstrainTo(BRect(0, 0, 17, 17));
	EXPECT_EQ(inside, BPoint(5, 6));
}

TEST(Rect, EdgesAreInclusive)
{
	BRect rect(0, 0, 17, 17);
	EXPECT_FLOAT_EQ(rect.Width(), 17);
	EXPECT_EQ(rect.IntegerWidth(), 17);
	EXPECT_EQ(rect.IntegerHeight(), 17);
	EXPECT_TRUE(rect.Contains(BPoint(17, 17)));
	EXPECT_TRUE(rect.Contains(BPoint(0, 0)));
	EXPECT_FALSE(rect.Contains(BPoint(17.5f, 3)));
	EXPECT_EQ(BRect(0, 0, 2.5f, 1).IntegerWidth(), 3);

	// Rectangles that share only an edge touch, so they intersect.
	EXPECT_TRUE(rect.Intersects(BRect(17, 17, 30, 30)));
	EXPECT_FALSE(rect.Intersects(BRect(18, 0, 30, 30)));
	EXPECT_TRUE(rect.Contains(BRect(1, 1, 17, 17)));
	EXPECT_FALSE(rect.Contains(BRect(1, 1, 18, 17)));

	EXPECT_FALSE(BRect().IsValid());
	EXPECT_TRUE(BRect(5, 5, 5, 5).IsValid());
	EXPECT_FALSE(BRect().Intersects(rect));
}

TEST(Rect, MovingInsettingAndCombining)
{
	BRect rect(10, 20, 110, 70);
	EXPECT_EQ(rect.LeftTop(), BPoint(10, 20));
	EXPECT_EQ(rect.RightBottom(), BPoint(110, 70));
	EXPECT_EQ(rect.LeftBottom(), BPoint(10, 70));
	EXPECT_EQ(rect.RightTop(), BPoint(110, 20));

	BRect inset = rect.InsetByCopy(16, 10);
	EXPECT_EQ(inset, BRect(26, 30, 94, 60));
	inset.InsetBy(-16, -10);
	EXPECT_EQ(inset, rect);

	BRect moved = rect.OffsetByCopy(-10, 5);
	EXPECT_EQ(moved, BRect(0, 25, 100, 75));
	moved.OffsetTo(BPoint(-300, -200));
	EXPECT_EQ(moved, BRect(-300, -200, -200, -150));
	EXPECT_FLOAT_EQ(moved.Width(), rect.Width());
	EXPECT_EQ(rect.OffsetToCopy(0, 0), BRect(0, 0, 100, 50));

	BRect other(100, 0, 200, 30);
	EXPECT_EQ(rect & other, BRect(100, 20, 110, 30));
	EXPECT_EQ(rect | other, BRect(10, 0, 200, 70));
	EXPECT_FALSE((rect & BRect(500, 500, 600, 600)).IsValid());

	BRect corners;
	corners.SetLeftTop(BPoint(1, 2));
	corners.SetRightBottom(BPoint(3, 4));
	EXPECT_EQ(corners, BRect(1, 2, 3, 4));
	corners.SetRightTop(BPoint(9, 0));
	corners.SetLeftBottom(BPoint(-1, 8));
	EXPECT_EQ(corners, BRect(-1, 0, 9, 8));
}
