// The installer's alerts: real warning alerts placed a quarter down the
// screen, answered by button, their text formatted with one argument and
// also written on standard error; and the placement of windows.

#include "AlertSinkScope.h"
#include "DoError.h"
#include "PositionWindow.h"

#include <AlertAnswerer.h>
#include <InterfaceFixture.h>
#include <RecordingAlertSink.h>

#include <Alert.h>
#include <Errors.h>

#include <cmath>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

class DoErrorTest : public InterfaceTest {
protected:
	// Starts an alert on another thread and waits until it is up and idle.
	template<typename Call>
	std::future<int32> Ask(Call call, DisplayWindowInfo* info)
	{
		auto answer = std::async(std::launch::async, call);
		EXPECT_TRUE(Automation::WaitForWindow("", info));
		EXPECT_TRUE(Automation::WaitUntilIdle());
		return answer;
	}

	static std::string ShownText(const DisplayWindowInfo& info)
	{
		std::string text;
		EXPECT_EQ(Automation::GetText(info.id, "_tv_", &text), B_OK);
		return text;
	}
};

// Runs an alert answered by its first button and returns its result and
// what it printed.
template<typename Call>
std::pair<int32, std::string>
Shown(Call call)
{
	AlertAnswerer answerer(0);
	testing::internal::CaptureStderr();
	int32 result = call();
	return {result, testing::internal::GetCapturedStderr()};
}

// Makes a sink the process-wide one for as long as it lives.
class ProcessSink {
public:
	explicit ProcessSink(AlertSink* sink) { SetAlertSink(sink); }
	~ProcessSink() { SetAlertSink(nullptr); }
};

bool
AnyModalWindow()
{
	for (const DisplayWindowInfo& info : Automation::Windows()) {
		if (info.modal && !info.hidden)
			return true;
	}
	return false;
}

// A window that is never shown, for placing.
BWindow*
PlainWindow(BRect frame)
{
	return new BWindow(frame, "placed", B_TITLED_WINDOW, 0);
}

} // namespace

TEST_F(DoErrorTest, TheAlertIsAWarningWithTheFormattedText)
{
	const char* reason = strerror_status(B_ENTRY_NOT_FOUND);
	DisplayWindowInfo info;
	testing::internal::CaptureStderr();
	auto answer = Ask([reason] {
		return doError("Could not read complete file header (%s).", reason);
	}, &info);
	std::string expected = std::string("Could not read complete file header (") + reason
		+ ").";
	EXPECT_EQ(ShownText(info), expected);
	EXPECT_TRUE(info.modal);
	EXPECT_EQ(info.title, "");
	ASSERT_TRUE(info.target.LockTarget());
	BLooper* looper = nullptr;
	info.target.Target(&looper);
	BAlert* alert = dynamic_cast<BAlert*>(looper);
	ASSERT_NE(alert, nullptr);
	EXPECT_EQ(alert->Type(), B_WARNING_ALERT);
	ASSERT_NE(alert->ButtonAt(0), nullptr);
	EXPECT_STREQ(alert->ButtonAt(0)->Label(), "OK");
	EXPECT_EQ(alert->ButtonAt(1), nullptr);
	alert->Unlock();
	EXPECT_EQ(Automation::Click(info.id, "OK"), B_OK);
	EXPECT_EQ(answer.get(), 0);
	// The text reached standard error before the alert was answered.
	EXPECT_EQ(testing::internal::GetCapturedStderr(), expected + "\n");
}

TEST_F(DoErrorTest, QuestionsAnswerTheIndexOfThePressedButton)
{
	EXPECT_STREQ(errCONTINUE, "Continue");
	DisplayWindowInfo info;
	testing::internal::CaptureStderr();
	auto cancel = Ask([] {
		return doError("The volume is nearly full. Continue installing %s?", "Tool",
			errCONTINUE, "Cancel");
	}, &info);
	BRect continueFrame, cancelFrame;
	ASSERT_EQ(Automation::GetViewFrame(info.id, "Continue", &continueFrame), B_OK);
	ASSERT_EQ(Automation::GetViewFrame(info.id, "Cancel", &cancelFrame), B_OK);
	// Buttons as wide as the widest label.
	EXPECT_EQ(continueFrame.Width(), cancelFrame.Width());
	EXPECT_EQ(Automation::Click(info.id, "Cancel"), B_OK);
	EXPECT_EQ(cancel.get(), 1);

	auto goOn = Ask([] {
		return doError("Go on?", nullptr, errCONTINUE, "Cancel");
	}, &info);
	EXPECT_EQ(Automation::Click(info.id, "Continue"), B_OK);
	EXPECT_EQ(goOn.get(), 0);

	auto third = Ask([] { return doError("Pick one", nullptr, "A", "B", "C"); }, &info);
	EXPECT_EQ(Automation::Click(info.id, "C"), B_OK);
	EXPECT_EQ(third.get(), 2);

	auto fatal = Ask([] {
		return doFatal("Could not find specified package file.", nullptr);
	}, &info);
	std::string label;
	EXPECT_EQ(Automation::GetLabel(info.id, "_b0_", &label), B_OK);
	EXPECT_EQ(label, "Quit");
	EXPECT_EQ(Automation::Click(info.id, "Quit"), B_OK);
	EXPECT_EQ(fatal.get(), 0);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		"The volume is nearly full. Continue installing Tool?\nGo on?\nPick one\n"
		"Could not find specified package file.\n");
}

TEST_F(DoErrorTest, WithoutAnArgumentTheTextIsShownExactly)
{
	DisplayWindowInfo info;
	auto answer = Ask([] { return doError("100% done, %s and %d stay", nullptr); }, &info);
	EXPECT_EQ(ShownText(info), "100% done, %s and %d stay");
	EXPECT_EQ(Automation::Click(info.id, "OK"), B_OK);
	EXPECT_EQ(answer.get(), 0);

	auto plain = Ask([] { return doError("Disk 50% full"); }, &info);
	EXPECT_EQ(ShownText(info), "Disk 50% full");
	EXPECT_EQ(Automation::Click(info.id, "OK"), B_OK);
	EXPECT_EQ(plain.get(), 0);

	EXPECT_EQ(Shown([] { return doError("50%% is two signs", nullptr, "OK"); }).second,
		"50%% is two signs\n");
	// A long argument is not cut.
	std::string longArgument(5000, 'a');
	auto [result, text] = Shown([&] { return doError("[%s]", longArgument.c_str()); });
	EXPECT_EQ(result, 0);
	EXPECT_EQ(text, "[" + longArgument + "]\n");
}

TEST_F(DoErrorTest, AlertsArePlacedAQuarterDownTheScreen)
{
	BRect screen = DisplayBackend::Default()->ScreenFrame();
	DisplayWindowInfo info;
	auto answer = Ask([] { return doError("Where am I?"); }, &info);
	BRect frame = info.frame;
	float width = frame.right - frame.left;
	float height = frame.bottom - frame.top;
	// Windows sit on whole pixels.
	EXPECT_EQ(frame.left, floorf((screen.right - 6 - width) * 0.5f));
	EXPECT_EQ(frame.top, floorf((screen.bottom - 6 - height) * 0.25f));
	EXPECT_EQ(Automation::Click(info.id, "OK"), B_OK);
	EXPECT_EQ(answer.get(), 0);
}

TEST_F(DoErrorTest, PositionWindowKeepsWindowsInsideTheMargin)
{
	DisplayBackend* display = DisplayBackend::Default();
	BRect saved = display->ScreenFrame();
	display->SetScreenSize(800, 600);
	BRect screen = display->ScreenFrame();
	ASSERT_EQ(screen, BRect(0, 0, 799, 599));

	BWindow* window = PlainWindow(BRect(0, 0, 100, 50));
	ASSERT_TRUE(window->Lock());
	PositionWindow(window, 0.5, 0.25);
	// The free space is measured from the screen's origin to the inset edge.
	EXPECT_EQ(window->Frame().LeftTop(), BPoint(floorf((793 - 100) * 0.5f),
		floorf((593 - 50) * 0.25f)));
	PositionWindow(window, 0, 0);
	EXPECT_EQ(window->Frame().LeftTop(), BPoint(6, 6));
	PositionWindow(window, 1, 1);
	EXPECT_EQ(window->Frame().RightBottom(), BPoint(793, 593));
	// Far beyond the edges: clamped on the margins.
	PositionWindow(window, 5, -3);
	EXPECT_EQ(window->Frame().right, 793);
	EXPECT_EQ(window->Frame().top, 6);
	// Whatever the factors, a window that fits stays 6 points inside.
	for (float factor : {-1.0f, 0.0f, 0.01f, 0.3f, 0.99f, 1.0f, 2.0f}) {
		PositionWindow(window, factor, factor);
		BRect frame = window->Frame();
		EXPECT_GE(frame.left, 6) << factor;
		EXPECT_GE(frame.top, 6) << factor;
		EXPECT_LE(frame.right, 799 - 6) << factor;
		EXPECT_LE(frame.bottom, 599 - 6) << factor;
	}
	window->Quit();

	// Taller and wider than the inset screen: the far clamp wins, so the
	// bottom and right edges sit on the margin and the top lies above it.
	BWindow* tall = PlainWindow(BRect(0, 0, 900, 700));
	ASSERT_TRUE(tall->Lock());
	PositionWindow(tall, 0.5, 0.25);
	EXPECT_EQ(tall->Frame().bottom, 593);
	EXPECT_EQ(tall->Frame().top, 593 - 700);
	EXPECT_EQ(tall->Frame().right, 793);
	EXPECT_LT(tall->Frame().left, 6);
	tall->Quit();

	PositionWindow(nullptr, 0.5, 0.5);
	display->SetScreenSize(saved.IntegerWidth() + 1, saved.IntegerHeight() + 1);
}

TEST_F(DoErrorTest, AlertsFromManyThreadsStayWholeLines)
{
	const int kThreads = 4;
	const int kAlerts = 5;
	AlertAnswerer answerer(0);
	testing::internal::CaptureStderr();
	std::vector<std::thread> threads;
	std::atomic<int32> answers{0};
	for (int t = 0; t < kThreads; t++) {
		threads.emplace_back([t, &answers] {
			std::string argument = std::string(t + 1, (char)('a' + t));
			for (int i = 0; i < kAlerts; i++)
				answers += doError("Thread message %s.", argument.c_str()) == 0 ? 1 : 0;
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	std::istringstream lines(testing::internal::GetCapturedStderr());
	std::set<std::string> expected;
	for (int t = 0; t < kThreads; t++)
		expected.insert("Thread message " + std::string(t + 1, (char)('a' + t)) + ".");
	int count = 0;
	std::string line;
	while (std::getline(lines, line)) {
		EXPECT_EQ(expected.count(line), 1u) << line;
		count++;
	}
	EXPECT_EQ(count, kThreads * kAlerts);
	EXPECT_EQ(answers, kThreads * kAlerts);
}


TEST_F(DoErrorTest, ASinkTakesTheFormattedAlertAndItsAnswerIsReturned)
{
	{
		RecordingAlertSink sink(1);
		ProcessSink process(&sink);
		testing::internal::CaptureStderr();
		EXPECT_EQ(doError("Continue installing %s?", "Tool", errCONTINUE, "Cancel"), 1);
		EXPECT_EQ(doFatal("Could not open %s.", "test.pkg"), 1);
		// Neither printed nor shown: where an alert goes is the sink's alone.
		EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
		EXPECT_FALSE(AnyModalWindow());
		std::vector<RecordingAlertSink::Shown> shown = sink.All();
		ASSERT_EQ(shown.size(), 2u);
		EXPECT_EQ(shown[0].text, "Continue installing Tool?");
		EXPECT_EQ(shown[0].buttons, (std::vector<std::string>{"Continue", "Cancel"}));
		EXPECT_EQ(shown[1].text, "Could not open test.pkg.");
		EXPECT_EQ(shown[1].buttons, std::vector<std::string>{"Quit"});
	}

	// With nobody at a window: standard error only, the first button taken.
	{
		ProcessSink process(StandardErrorAlertSink());
		testing::internal::CaptureStderr();
		EXPECT_EQ(doError("Pick %s", "one", "A", "B", "C"), 0);
		EXPECT_EQ(testing::internal::GetCapturedStderr(), "Pick one\n");
	}

	// Unset, the alert is a window again.
	auto [result, printed] = Shown([] { return doError("Back to %s", "windows", "X", "Y"); });
	EXPECT_EQ(result, 0);
	EXPECT_EQ(printed, "Back to windows\n");
}

TEST_F(DoErrorTest, AThreadsOwnSinkServesThatThreadAlone)
{
	RecordingAlertSink everyone;
	RecordingAlertSink mine(2);
	RecordingAlertSink inner;
	ProcessSink process(&everyone);
	{
		AlertSinkScope scope(&mine);
		std::thread other([] { doError("From another thread."); });
		other.join();
		EXPECT_EQ(doError("From this thread.", nullptr, "A", "B", "C"), 2);
		{
			AlertSinkScope nested(&inner);
			doError("Nested.");
			{
				AlertSinkScope none(nullptr);
				doError("Given back.");
			}
		}
		doError("Outer again.");
	}
	doError("After the scope.");

	const std::thread::id self = std::this_thread::get_id();
	std::vector<RecordingAlertSink::Shown> shared = everyone.All();
	ASSERT_EQ(shared.size(), 3u);
	EXPECT_EQ(shared[0].text, "From another thread.");
	EXPECT_NE(shared[0].thread, self);
	EXPECT_EQ(shared[1].text, "Given back.");
	EXPECT_EQ(shared[2].text, "After the scope.");
	EXPECT_EQ(mine.Texts(), (std::vector<std::string>{"From this thread.", "Outer again."}));
	EXPECT_EQ(inner.Texts(), std::vector<std::string>{"Nested."});
}
