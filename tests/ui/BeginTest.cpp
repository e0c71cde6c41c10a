// "Begin" through to the install worker: a real package installed from the
// install window, a second run that reuses the worker, and the window's
// close box pressed while a run goes on.

#include "InstallWindowFixture.h"

#include "../install/InstallScenario.h"

#include "InstallOutcome.h"
#include "PackAttrib.h"

#include <filesystem>

namespace {

class BeginTest : public InstallWindowTest {
protected:
	// The tool's package, written into the root and opened in a window.
	InstallWindow* OpenPlan(PackagePlan& plan)
	{
		EXPECT_EQ(plan.Write(fRoot.HostPath("boot/tool.pkg")), B_OK);
		entry_ref ref;
		EXPECT_EQ(get_ref_for_path("/boot/tool.pkg", &ref), B_OK);
		InstallPack* pack = new InstallPack(ref, false);
		EXPECT_NE(pack->fEntry, nullptr);
		int32 before = InstallWindow::CountWindows();
		fWindow = new InstallWindow("tool.pkg", pack, true);
		Settle();
		return InstallWindow::CountWindows() > before ? fWindow : nullptr;
	}

	// Presses "Begin" and waits until the run is over and answered.
	void Begin()
	{
		ASSERT_EQ(Automation::Click(ID(), "installbutton"), B_OK);
		ASSERT_TRUE(WaitUntil([&] {
			Settle();
			return WithWindow([&] { return !fWindow->fInstalling; });
		}));
	}
};

} // namespace


TEST_F(BeginTest, BeginInstallsTheSelectionIntoTheChosenFolder)
{
	PackagePlan plan;
	// The group shows as a row of the list.
	plan.Attributes().AddGroupRow(0);
	// As the package tool places items: in the install folder, which the
	// window's catalog walk then reports for the top folder.
	plan.File(plan.Top(), "readme", "Read me first.\n")->fDestIndex
		= kInstallFolderDestination;
	ASSERT_NE(OpenPlan(plan), nullptr);
	EXPECT_EQ(Text("sizetext"), "1 files    1 K selected");
	EXPECT_EQ(fWindow->fAttrib->fInstallFolderGroups, 1u);

	Begin();
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/readme"), "Read me first.\n");
	EXPECT_TRUE(Enabled("installbutton")) << "idle again after Continue";
	InstallLooper* worker = fWindow->fLooper;
	ASSERT_NE(worker, nullptr);
	std::vector<std::string> texts = fAlerts->Texts();
	ASSERT_FALSE(texts.empty());
	EXPECT_EQ(texts.back().rfind("Installation is finished.", 0), 0u) << texts.back();

	// A second run into another folder reuses the worker.
	Choose("Folder", "home");
	Begin();
	EXPECT_EQ(fRoot.ReadFile("boot/home/Tool/readme"), "Read me first.\n");
	EXPECT_EQ(fWindow->fLooper, worker);

	// Closing the window ends the worker, and the worker its progress
	// window, without complaint.
	int32 windows = InstallWindow::CountWindows();
	fAlerts->Clear();
	ASSERT_EQ(Automation::PressCloseBox(ID()), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return InstallWindow::CountWindows() == windows - 1; }));
	fWindow = nullptr;
	ASSERT_TRUE(WaitUntil([] { return !Automation::FindWindow("Install", nullptr); }));
	Settle();
	EXPECT_TRUE(fAlerts->Texts().empty());
}


// A run that ends on a failure says where and why in an alert before
// "Begin" comes back; a cancelled one says nothing more, nor does one that
// went on to its end after "Continue" (each failure was told as it came).
TEST_F(BeginTest, ARunThatFailsSaysWhereItStoppedAndACancelledOneDoesNot)
{
	PackagePlan plan;
	plan.Attributes().AddGroupRow(0);
	plan.Attributes().SetPackageFlags(kScriptFailureBit);
	plan.File(plan.Top(), "readme", "read me")->fDestIndex = kInstallFolderDestination;
	plan.Script(plan.Top(), "setup", "#!/bin/sh\nexit 3\n")->fDestIndex
		= kInstallFolderDestination;
	ASSERT_NE(OpenPlan(plan), nullptr);

	Begin();
	std::vector<std::string> texts = fAlerts->Texts();
	ASSERT_FALSE(texts.empty());
	EXPECT_EQ(texts.back(), "The installation stopped at \"setup\": the script \"setup\" "
		"exited with status 3");
	EXPECT_TRUE(Enabled("installbutton"));

	// The texts are shown as they are, whatever they hold.
	fAlerts->Clear();
	BMessage failed(InstallWindow::kRunDone);
	InstallOutcome(kRunFailed, "50%s", "the volume is 100% full").AddTo(&failed);
	fWindow->PostMessage(&failed);
	Settle();
	EXPECT_EQ(fAlerts->Texts(), std::vector<std::string>{
		"The installation stopped at \"50%s\": the volume is 100% full"});

	fAlerts->Clear();
	BMessage cancelled(InstallWindow::kRunDone);
	InstallOutcome(kRunCancelled).AddTo(&cancelled);
	fWindow->PostMessage(&cancelled);
	BMessage wentOn(InstallWindow::kRunDone);
	InstallOutcome(kRunFailed, "huge", "the volume is full", true).AddTo(&wentOn);
	fWindow->PostMessage(&wentOn);
	Settle();
	EXPECT_TRUE(fAlerts->Texts().empty());
	EXPECT_TRUE(Enabled("installbutton"));
}


TEST_F(BeginTest, ClosingTheWindowDuringARunKeepsItsProgressInFront)
{
	PackagePlan plan;
	plan.Attributes().AddGroupRow(0);
	plan.File(plan.Top(), "readme", "Read me first.\n")->fDestIndex
		= kInstallFolderDestination;
	ASSERT_NE(OpenPlan(plan), nullptr);
	// Another run holds the volume: this one waits, its progress window
	// shown, until the test lets go.
	PackAttrib otherAttributes;
	DestManager other(&otherAttributes);
	other.SetTarget(nullptr, (char*)"apps", device_of("/boot"), nullptr, false);
	ASSERT_EQ(other.LockVolume(), B_OK);
	ASSERT_EQ(Automation::Click(ID(), "installbutton"), B_OK);
	DisplayWindowInfo progress;
	ASSERT_TRUE(WaitUntil([&] {
		return Automation::FindWindow("Install", &progress) && !progress.hidden;
	}));

	// A window manager raises the window whose close box is pressed, then
	// passes the close on.
	DisplayBackend::Default()->ActivateWindow(ID(), true);
	ASSERT_EQ(Automation::PressCloseBox(ID()), B_OK);

	// The window stays for the run, and the run's progress is in front of
	// it, where the person sees it.
	auto front = [&](int32 id) {
		for (const DisplayWindowInfo& info : Automation::Windows()) {
			if (!info.hidden && (info.id == id || info.id == ID()))
				return info.id == id && info.active;
		}
		return false;
	};
	EXPECT_TRUE(WaitUntil([&] { return front(progress.id); }));
	EXPECT_TRUE(WithWindow([&] { return fWindow->fInstalling && !fWindow->IsHidden(); }));

	// Let go: the run installs and ends as any other.
	other.FinishInstall(false, nullptr);
	ASSERT_TRUE(WaitUntil([&] {
		Settle();
		return WithWindow([&] { return !fWindow->fInstalling; });
	}));
	EXPECT_EQ(fRoot.ReadFile("boot/apps/Tool/readme"), "Read me first.\n");
}
