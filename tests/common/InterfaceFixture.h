#ifndef _TEST_INTERFACE_FIXTURE_H
#define _TEST_INTERFACE_FIXTURE_H

// Test support for the interface kit: windows on the headless display, a
// view that draws whatever the test asks, and reading pixels back from
// what the window presented.

#include <Automation.h>
#include <DisplayBackend.h>
#include <View.h>
#include <Window.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

using BPrivate::Automation;
using BPrivate::DisplayBackend;
using BPrivate::DisplayWindowInfo;

// A view whose Draw runs the test's function.
class DrawView : public BView {
public:
	DrawView(BRect frame, std::function<void(BView*, BRect)> draw,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW)
		:
		BView(frame, "draw", resizingMode, flags),
		fDraw(std::move(draw))
	{
	}

	void Draw(BRect updateRect) override
	{
		fDraws++;
		fLastUpdate = updateRect;
		if (fDraw)
			fDraw(this, updateRect);
	}

	std::atomic<int32> fDraws{0};
	BRect fLastUpdate;

private:
	std::function<void(BView*, BRect)> fDraw;
};

// A snapshot of a window's presented pixels.
class Pixels {
public:
	explicit Pixels(cairo_surface_t* surface) : fSurface(surface) {}
	~Pixels()
	{
		if (fSurface != nullptr)
			cairo_surface_destroy(fSurface);
	}
	Pixels(const Pixels&) = delete;
	Pixels& operator=(const Pixels&) = delete;

	bool IsValid() const { return fSurface != nullptr; }
	int32 Width() const { return cairo_image_surface_get_width(fSurface); }
	int32 Height() const { return cairo_image_surface_get_height(fSurface); }

	rgb_color At(int32 x, int32 y) const
	{
		const uint8* data = cairo_image_surface_get_data(fSurface);
		int32 stride = cairo_image_surface_get_stride(fSurface);
		uint32 value = *reinterpret_cast<const uint32*>(data + y * stride + x * 4);
		return make_color((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
	}

private:
	cairo_surface_t* fSurface;
};

inline bool
same_rgb(rgb_color a, rgb_color b)
{
	return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline std::ostream&
operator<<(std::ostream& stream, const rgb_color& color)
{
	return stream << "(" << int(color.red) << ", " << int(color.green) << ", "
		<< int(color.blue) << ")";
}

// Windows a test left open go, so that the next test starts on an empty
// screen.
inline void
QuitEveryWindow()
{
	for (const auto& info : Automation::Windows()) {
		if (info.target.LockTarget()) {
			BLooper* looper = nullptr;
			info.target.Target(&looper);
			looper->Quit();
		}
	}
}

class InterfaceTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_EQ(DisplayBackend::Select("headless"), B_OK);
	}

	void TearDown() override
	{
		QuitEveryWindow();
	}

	// A window at frame holding view, shown and drawn.
	BWindow* ShowWindow(BView* view, BRect frame = BRect(100, 100, 163, 163),
		window_type type = B_TITLED_WINDOW, uint32 flags = 0)
	{
		BWindow* window = new BWindow(frame, "test", type, flags);
		if (view != nullptr)
			window->AddChild(view);
		window->Show();
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return window;
	}

	static void QuitWindow(BWindow* window)
	{
		if (window->Lock())
			window->Quit();
	}

	std::unique_ptr<Pixels> Capture(BWindow* window)
	{
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return std::make_unique<Pixels>(Automation::CaptureWindow(window->DisplayID()));
	}

	// Runs f with the window locked.
	template<typename F>
	static void Locked(BWindow* window, F f)
	{
		ASSERT_TRUE(window->Lock());
		f();
		window->Unlock();
	}
};

const rgb_color kWhite = {255, 255, 255, 255};
const rgb_color kBlack = {0, 0, 0, 255};
const rgb_color kRed = {255, 0, 0, 255};
const rgb_color kBlue = {0, 0, 255, 255};

#endif // _TEST_INTERFACE_FIXTURE_H
