#include <DisplayScale.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

// Where the display scale comes from (a person's number, GDK_SCALE, the X
// resources' Xft.dpi, a screen's dots per inch) and how layout units and
// pixels meet.

using BPrivate::DisplayScale;

TEST(DisplayScaleTest, APersonsFactorIsAPlainNumberFrom1To4)
{
	for (const char* text : {"1", "2", "1.5", "4", "2.0", "3.25"}) {
		float scale = 0;
		EXPECT_TRUE(DisplayScale::Parse(text, &scale)) << text;
		EXPECT_FLOAT_EQ(scale, strtof(text, nullptr)) << text;
	}
	for (const char* text : {"", "0", "-2", "0.5", "4.5", "200", "two", "2x", " 2", "2 ",
			"nan", "inf", "1e1", "+2", "0x2", "1,5"}) {
		float scale = 7;
		EXPECT_FALSE(DisplayScale::Parse(text, &scale)) << text;
		EXPECT_EQ(scale, 7) << "changed by " << text;
	}
	float scale = 7;
	EXPECT_FALSE(DisplayScale::Parse(nullptr, &scale));
}

TEST(DisplayScaleTest, GdkScaleTakesWholeFactorsOnly)
{
	EXPECT_EQ(DisplayScale::FromGdkScale("2"), 2);
	EXPECT_EQ(DisplayScale::FromGdkScale("1"), 1);
	// GTK itself takes whole numbers; past the largest factor, the largest.
	EXPECT_EQ(DisplayScale::FromGdkScale("1.5"), 0);
	EXPECT_EQ(DisplayScale::FromGdkScale("9"), DisplayScale::kMaximum);
	for (const char* text : {"0", "-1", "", "big", "2px"})
		EXPECT_EQ(DisplayScale::FromGdkScale(text), 0) << text;
	EXPECT_EQ(DisplayScale::FromGdkScale(nullptr), 0);
}

TEST(DisplayScaleTest, XftDpiIsReadFromTheResourcesInQuarterSteps)
{
	EXPECT_EQ(DisplayScale::FromXftDpi("Xft.dpi:\t192\n"), 2);
	EXPECT_EQ(DisplayScale::FromXftDpi("Xcursor.size: 24\nXft.dpi: 144\nXft.hinting: 1\n"),
		1.5f);
	EXPECT_EQ(DisplayScale::FromXftDpi("Xft.dpi:\t120\n"), 1.25f);
	EXPECT_EQ(DisplayScale::FromXftDpi("Xft.dpi:\t96\n"), 1);
	// A smaller text setting does not shrink the windows.
	EXPECT_EQ(DisplayScale::FromXftDpi("Xft.dpi:\t72\n"), 1);
	// Resources may be set for every program's "dpi".
	EXPECT_EQ(DisplayScale::FromXftDpi("*dpi:\t192\n"), 2);
	EXPECT_EQ(DisplayScale::FromXftDpi("Xft.dpi:\tlarge\n"), 0);
	EXPECT_EQ(DisplayScale::FromXftDpi("Xcursor.size: 24\n"), 0);
	EXPECT_EQ(DisplayScale::FromXftDpi(""), 0);
	EXPECT_EQ(DisplayScale::FromXftDpi(nullptr), 0);
}

TEST(DisplayScaleTest, AScreensDotsPerInchGiveWholeFactorsFromTwiceTheBase)
{
	// As Xvfb -dpi 192 reports itself: 1024 pixels over 135 millimetres.
	EXPECT_EQ(DisplayScale::FromDpi(1024 * 25.4f / 135), 2);
	EXPECT_EQ(DisplayScale::FromDpi(288), 3);
	// Ordinary and odd screens say nothing.
	EXPECT_EQ(DisplayScale::FromDpi(100), 1);
	EXPECT_EQ(DisplayScale::FromDpi(163), 1);
	EXPECT_EQ(DisplayScale::FromDpi(25.4f), 0);
	EXPECT_EQ(DisplayScale::FromDpi(0), 0);
	EXPECT_EQ(DisplayScale::FromDpi(NAN), 0);
}

TEST(DisplayScaleTest, TheDesktopSaysItWithGdkScaleThenXftDpiThenItsDensity)
{
	EXPECT_EQ(DisplayScale::FromDesktop("3", "Xft.dpi: 144\n", 192), 3);
	EXPECT_EQ(DisplayScale::FromDesktop(nullptr, "Xft.dpi: 144\n", 192), 1.5f);
	EXPECT_EQ(DisplayScale::FromDesktop("", "", 192), 2);
	EXPECT_EQ(DisplayScale::FromDesktop("1.5", "Xcursor.size: 24\n", 192), 2);
	EXPECT_EQ(DisplayScale::FromDesktop(nullptr, nullptr, 0), 1);
}

TEST(DisplayScaleTest, WaylandSaysItWithGdkScaleThenTheOutputsScaleThenItsDensity)
{
	EXPECT_EQ(DisplayScale::FromWaylandDesktop("3", 2, 288), 3);
	EXPECT_EQ(DisplayScale::FromWaylandDesktop(nullptr, 2, 288), 2);
	// An output said to be at 1 is at 1, whatever its density seems.
	EXPECT_EQ(DisplayScale::FromWaylandDesktop("", 1, 192), 1);
	EXPECT_EQ(DisplayScale::FromWaylandDesktop("1.5", 0, 192), 2);
	EXPECT_EQ(DisplayScale::FromWaylandDesktop(nullptr, 9, 0), DisplayScale::kMaximum);
	EXPECT_EQ(DisplayScale::FromWaylandDesktop(nullptr, -2, 0), 1);
}

TEST(DisplayScaleTest, PixelsAndLayoutUnitsMeet)
{
	EXPECT_EQ(DisplayScale::Pixels(300, 1), 300);
	EXPECT_EQ(DisplayScale::Pixels(300, 2), 600);
	// A part of a pixel still needs the whole pixel.
	EXPECT_EQ(DisplayScale::Pixels(3, 1.25f), 4);
	EXPECT_EQ(DisplayScale::Pixels(4, 1.25f), 5);
	EXPECT_EQ(DisplayScale::ToPixel(120, 2), 240);
	EXPECT_EQ(DisplayScale::ToPixel(-3, 2), -6);
	// Both pixels of a unit at scale 2 belong to it; round trips hold.
	EXPECT_EQ(DisplayScale::FromPixel(40, 2), 20);
	EXPECT_EQ(DisplayScale::FromPixel(41, 2), 20);
	EXPECT_EQ(DisplayScale::FromPixel(-1, 2), -1);
	for (float scale : {1.0f, 1.25f, 1.5f, 2.0f, 3.0f}) {
		for (int32 unit = -5; unit < 300; unit++) {
			ASSERT_EQ(DisplayScale::FromPixel(DisplayScale::ToPixel(unit, scale), scale),
				unit) << unit << " at " << scale;
		}
	}
}
