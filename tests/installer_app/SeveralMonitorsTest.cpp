// Windows on a desktop of several monitors: placed on the monitor under the
// pointer, else on the first, and never across the space that spans them.

#include "PositionWindow.h"

#include <InterfaceFixture.h>

#include <Screen.h>

namespace {

// A wide monitor on the left and a smaller one on the right, lower down;
// the screen spans both.
const BRect kLeft(0, 0, 999, 599);
const BRect kRight(1000, 100, 1599, 499);

class SeveralMonitorsTest : public InterfaceTest {
protected:
	void SetUp() override
	{
		InterfaceTest::SetUp();
		DisplayBackend* display = DisplayBackend::Default();
		fSavedScreen = display->ScreenFrame();
		display->SetScreenSize(1600, 600);
		display->SetMonitors({kLeft, kRight});
	}

	void TearDown() override
	{
		DisplayBackend* display = DisplayBackend::Default();
		display->SetMonitors({});
		display->SetScreenSize(fSavedScreen.IntegerWidth() + 1,
			fSavedScreen.IntegerHeight() + 1);
		InterfaceTest::TearDown();
	}

	// Where a 201 by 101 window is placed with the pointer there.
	static BRect PlacedWith(BPoint pointer, float hFactor, float vFactor)
	{
		// No window lies under the pointer: the move reaches none, and
		// only the pointer moves.
		Automation::MoveMouseTo(pointer);
		BWindow* window = new BWindow(BRect(0, 0, 200, 100), "placed", B_TITLED_WINDOW, 0);
		EXPECT_TRUE(window->Lock());
		PositionWindow(window, hFactor, vFactor);
		BRect frame = window->Frame();
		window->Quit();
		return frame;
	}

	BRect fSavedScreen;
};

// Centred as windows are: in the free space from the monitor's origin to
// its far edge less the margin.
void
ExpectCentredIn(BRect frame, BRect monitor)
{
	const float margin = 6;
	EXPECT_NEAR(frame.left - monitor.left, monitor.right - margin - frame.right, 1)
		<< frame.left;
	EXPECT_NEAR(frame.top - monitor.top, monitor.bottom - margin - frame.bottom, 1)
		<< frame.top;
}

} // namespace


TEST_F(SeveralMonitorsTest, AWindowIsCentredOnTheMonitorUnderThePointer)
{
	EXPECT_EQ(DisplayBackend::Default()->ScreenFrame(), BRect(0, 0, 1599, 599));
	ExpectCentredIn(PlacedWith(BPoint(1200, 300), 0.5f, 0.5f), kRight);
	EXPECT_EQ(BScreen().Frame(), kRight);
	ExpectCentredIn(PlacedWith(BPoint(10, 590), 0.5f, 0.5f), kLeft);
	EXPECT_EQ(BScreen().Frame(), kLeft);

	// The factors and the margins count from the monitor's own edges.
	BRect corner = PlacedWith(BPoint(1599, 499), 0, 0);
	EXPECT_EQ(corner.LeftTop(), BPoint(1006, 106));
	corner = PlacedWith(BPoint(1599, 499), 1, 1);
	EXPECT_EQ(corner.RightBottom(), BPoint(1593, 493));
}


TEST_F(SeveralMonitorsTest, APointerOnNoMonitorPlacesOnTheFirst)
{
	// Inside the screen's span, but on neither monitor.
	ExpectCentredIn(PlacedWith(BPoint(1300, 50), 0.5f, 0.5f), kLeft);
	EXPECT_EQ(BScreen().Frame(), kLeft);

	// With no monitors told, the screen is the one monitor.
	DisplayBackend::Default()->SetMonitors({});
	ExpectCentredIn(PlacedWith(BPoint(1300, 50), 0.5f, 0.5f), BRect(0, 0, 1599, 599));
}
