#include <InterfaceFixture.h>

#include <mutex>
#include <string>
#include <vector>

// The view tree: attaching, the hooks' order, geometry and resizing modes.

namespace {

class HookLog {
public:
	void Add(const std::string& entry)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fEntries.push_back(entry);
	}
	std::vector<std::string> Entries()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fEntries;
	}

private:
	std::mutex fLock;
	std::vector<std::string> fEntries;
};

class LoggingView : public BView {
public:
	LoggingView(BRect frame, const char* name, HookLog* log, uint32 mode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW)
		:
		BView(frame, name, mode, flags),
		fLog(log)
	{
	}

	void AttachedToWindow() override
	{
		fLog->Add(std::string("attached ") + Name());
		fAttachedWindow = Window();
	}
	void AllAttached() override { fLog->Add(std::string("all attached ") + Name()); }
	void DetachedFromWindow() override { fLog->Add(std::string("detached ") + Name()); }
	void FrameResized(float width, float height) override
	{
		fLog->Add(std::string("resized ") + Name() + " " + std::to_string(int(width)) + "x"
			+ std::to_string(int(height)));
	}
	void FrameMoved(BPoint where) override
	{
		fLog->Add(std::string("moved ") + Name() + " " + std::to_string(int(where.x)) + ","
			+ std::to_string(int(where.y)));
	}

	BWindow* fAttachedWindow = nullptr;

private:
	HookLog* fLog;
};

} // namespace

class ViewTreeTest : public InterfaceTest {
};

TEST_F(ViewTreeTest, AttachingCallsTheHooksAndLinksTheTree)
{
	HookLog log;
	LoggingView* parent = new LoggingView(BRect(0, 0, 99, 99), "parent", &log);
	LoggingView* first = new LoggingView(BRect(10, 10, 19, 19), "first", &log);
	LoggingView* second = new LoggingView(BRect(30, 10, 39, 19), "second", &log);
	parent->AddChild(first);
	parent->AddChild(second, first);
	EXPECT_EQ(parent->ChildAt(0), second);
	EXPECT_EQ(parent->ChildAt(1), first);
	EXPECT_EQ(parent->ChildAt(2), nullptr);
	EXPECT_EQ(second->NextSibling(), first);
	EXPECT_EQ(first->PreviousSibling(), second);
	EXPECT_EQ(first->Parent(), parent);
	EXPECT_EQ(first->Window(), nullptr);
	EXPECT_TRUE(log.Entries().empty());

	BWindow* window = new BWindow(BRect(50, 60, 249, 259), "tree", B_TITLED_WINDOW, 0);
	window->AddChild(parent);
	// Top-down attach, then bottom-up "all attached".
	std::vector<std::string> expected = {"attached parent", "attached second",
		"attached first", "all attached second", "all attached first",
		"all attached parent"};
	EXPECT_EQ(log.Entries(), expected);
	EXPECT_EQ(first->Window(), window);
	EXPECT_EQ(first->fAttachedWindow, window);
	EXPECT_EQ(window->CountChildren(), 1);
	EXPECT_EQ(window->ChildAt(0), parent);
	EXPECT_EQ(window->FindView("first"), first);
	EXPECT_EQ(parent->FindView("second"), second);
	EXPECT_EQ(window->FindView("nothing"), nullptr);
	EXPECT_EQ(first->Looper(), window);

	// Geometry across the tree.
	EXPECT_EQ(first->Bounds(), BRect(0, 0, 9, 9));
	EXPECT_EQ(first->ConvertToParent(BPoint(1, 2)), BPoint(11, 12));
	EXPECT_EQ(first->ConvertFromParent(BPoint(11, 12)), BPoint(1, 2));
	EXPECT_EQ(first->ConvertToScreen(BPoint(0, 0)), BPoint(60, 70));
	EXPECT_EQ(first->ConvertFromScreen(BPoint(60, 70)), BPoint(0, 0));
	EXPECT_EQ(first->ConvertToScreen(first->Bounds()), BRect(60, 70, 69, 79));
	EXPECT_EQ(window->FindView(BPoint(35, 15)), second);
	EXPECT_EQ(window->FindView(BPoint(5, 5)), parent);

	EXPECT_TRUE(parent->RemoveChild(first));
	EXPECT_EQ(first->Window(), nullptr);
	EXPECT_EQ(first->Parent(), nullptr);
	EXPECT_EQ(log.Entries().back(), "detached first");
	EXPECT_FALSE(parent->RemoveChild(first));
	delete first;

	// Deleting the window detaches and deletes the rest.
	window->Quit();
	std::vector<std::string> entries = log.Entries();
	EXPECT_EQ(std::count(entries.begin(), entries.end(), "detached parent"), 1);
	EXPECT_EQ(std::count(entries.begin(), entries.end(), "detached second"), 1);
}

TEST_F(ViewTreeTest, ChildrenFollowTheirResizingModes)
{
	HookLog log;
	BWindow* window = new BWindow(BRect(0, 0, 199, 99), "resize", B_TITLED_WINDOW, 0);
	LoggingView* all = new LoggingView(BRect(10, 10, 189, 89), "all", &log, B_FOLLOW_ALL,
		B_FRAME_EVENTS);
	LoggingView* right = new LoggingView(BRect(150, 5, 179, 20), "right", &log,
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
	LoggingView* left = new LoggingView(BRect(5, 5, 20, 20), "left", &log,
		B_FOLLOW_LEFT | B_FOLLOW_TOP);
	LoggingView* centre = new LoggingView(BRect(90, 40, 109, 59), "centre", &log,
		B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER);
	LoggingView* wide = new LoggingView(BRect(0, 0, 199, 9), "wide", &log,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	LoggingView* inner = new LoggingView(BRect(100, 50, 109, 59), "inner", &log,
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_FRAME_EVENTS);
	window->AddChild(all);
	window->AddChild(right);
	window->AddChild(left);
	window->AddChild(centre);
	window->AddChild(wide);
	all->AddChild(inner);

	window->ResizeTo(299, 149);
	EXPECT_EQ(window->Bounds(), BRect(0, 0, 299, 149));
	EXPECT_EQ(all->Frame(), BRect(10, 10, 289, 139));
	EXPECT_EQ(right->Frame(), BRect(250, 55, 279, 70));
	EXPECT_EQ(left->Frame(), BRect(5, 5, 20, 20));
	EXPECT_EQ(centre->Frame(), BRect(140, 65, 159, 84));
	EXPECT_EQ(wide->Frame(), BRect(0, 0, 299, 9));
	// A grandchild follows its own parent's change.
	EXPECT_EQ(inner->Frame(), BRect(200, 100, 209, 109));
	std::vector<std::string> entries = log.Entries();
	EXPECT_NE(std::find(entries.begin(), entries.end(), "resized all 279x129"), entries.end());
	EXPECT_NE(std::find(entries.begin(), entries.end(), "moved inner 200,100"), entries.end());
	// Views without B_FRAME_EVENTS hear nothing.
	for (const std::string& entry : entries) {
		EXPECT_NE(entry.rfind("resized right", 0), 0u) << entry;
		EXPECT_NE(entry.rfind("moved right", 0), 0u) << entry;
	}

	// Size limits bound the window.
	window->SetSizeLimits(100, 250, 50, 120);
	EXPECT_EQ(window->Bounds(), BRect(0, 0, 250, 120));
	window->ResizeTo(10, 10);
	EXPECT_EQ(window->Bounds(), BRect(0, 0, 100, 50));
	float minWidth, maxHeight;
	window->GetSizeLimits(&minWidth, nullptr, nullptr, &maxHeight);
	EXPECT_EQ(minWidth, 100);
	EXPECT_EQ(maxHeight, 120);

	// Views move and resize themselves too.
	left->MoveTo(30, 31);
	EXPECT_EQ(left->Frame(), BRect(30, 31, 45, 46));
	left->ResizeBy(4, 5);
	EXPECT_EQ(left->Frame(), BRect(30, 31, 49, 51));
	left->MoveBy(-30, -31);
	EXPECT_EQ(left->Frame().LeftTop(), BPoint(0, 0));

	window->MoveTo(40, 50);
	EXPECT_EQ(window->Frame(), BRect(40, 50, 140, 100));
	DisplayWindowInfo info;
	ASSERT_TRUE(DisplayBackend::Default()->GetWindow(window->DisplayID(), &info));
	EXPECT_EQ(info.frame, window->Frame());
	window->Quit();
}

TEST_F(ViewTreeTest, HidingFocusAndStateStack)
{
	BWindow* window = new BWindow(BRect(0, 0, 99, 99), "state", B_TITLED_WINDOW, 0);
	BView* parent = new BView(BRect(0, 0, 99, 99), "parent", B_FOLLOW_ALL, 0);
	BView* child = new BView(BRect(0, 0, 9, 9), "child", B_FOLLOW_NONE, B_NAVIGABLE);
	window->AddChild(parent);
	parent->AddChild(child);
	// A view in a window that was never shown counts as hidden.
	EXPECT_TRUE(child->IsHidden());
	window->Show();
	ASSERT_TRUE(window->Lock());
	EXPECT_FALSE(child->IsHidden());

	parent->Hide();
	EXPECT_TRUE(child->IsHidden());
	parent->Hide();
	parent->Show();
	EXPECT_TRUE(parent->IsHidden());
	parent->Show();
	EXPECT_FALSE(child->IsHidden());

	child->MakeFocus();
	EXPECT_TRUE(child->IsFocus());
	EXPECT_EQ(window->CurrentFocus(), child);
	parent->MakeFocus();
	EXPECT_FALSE(child->IsFocus());
	parent->MakeFocus(false);
	EXPECT_EQ(window->CurrentFocus(), nullptr);

	child->SetHighColor(kRed);
	child->SetPenSize(3);
	child->PushState();
	child->SetHighColor(kBlue);
	child->SetDrawingMode(B_OP_INVERT);
	child->PopState();
	EXPECT_EQ(child->HighColor(), kRed);
	EXPECT_EQ(child->DrawingMode(), B_OP_COPY);
	EXPECT_EQ(child->PenSize(), 3);
	child->SetFlags(B_WILL_DRAW);
	EXPECT_EQ(child->Flags(), B_WILL_DRAW);
	window->Quit();
}
