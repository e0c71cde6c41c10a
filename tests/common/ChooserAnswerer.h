#ifndef _TEST_CHOOSER_ANSWERER_H
#define _TEST_CHOOSER_ANSWERER_H

// Answers the "Multiple Items Found" chooser that a query destination with
// several matches opens, as a person would: a click on a row (optional),
// then on "Continue" or "Cancel", through the display's input path. Runs in
// a thread of its own, since the code under test blocks until the chooser
// is gone.
//
//   ChooserAnswerer answer(2, "Continue");    // third row, then Continue
//   manager.DirectoryFor(...);                // blocks until answered
//   answer.Join(); answer.Rows()              // the paths it listed
//   ChooserAnswerer pick("/Data/apps/Tool", "Continue");   // by its path

#include "FindListView.h"

#include <Automation.h>
#include <ScrollView.h>
#include <Window.h>

#include <string>
#include <thread>
#include <vector>

class ChooserAnswerer {
public:
	// row -1: leave the preselected first match.
	ChooserAnswerer(int32 row, const char* button)
		:
		fRow(row),
		fButton(button),
		fThread([this] { _Run(); })
	{
	}

	// The row that shows this path.
	ChooserAnswerer(const char* rowPath, const char* button)
		:
		fRow(-1),
		fRowPath(rowPath),
		fButton(button),
		fThread([this] { _Run(); })
	{
	}

	~ChooserAnswerer() { Join(); }

	void Join()
	{
		if (fThread.joinable())
			fThread.join();
	}

	bool Answered() const { return fAnswered; }
	// The rows the chooser listed, top first.
	const std::vector<std::string>& Rows() const { return fRows; }

private:
	void _Run()
	{
		BPrivate::DisplayWindowInfo info;
		if (!BPrivate::Automation::WaitForWindow("Multiple Items Found", &info)
			|| !BPrivate::Automation::WaitUntilIdle())
			return;
		BPoint row;
		if (!_Read(info, &row))
			return;
		if (fRow >= 0 && BPrivate::Automation::ClickAt(row) != B_OK)
			return;
		fAnswered = BPrivate::Automation::Click(info.id, fButton.c_str()) == B_OK;
	}

	// The rows, and a point on the row to pick.
	bool _Read(const BPrivate::DisplayWindowInfo& info, BPoint* row)
	{
		if (!info.target.LockTarget())
			return false;
		BLooper* looper = nullptr;
		info.target.Target(&looper);
		BWindow* window = dynamic_cast<BWindow*>(looper);
		BScrollView* scroller = window != nullptr
			? dynamic_cast<BScrollView*>(window->FindView("scroller")) : nullptr;
		FindListView* list = scroller != nullptr
			? dynamic_cast<FindListView*>(scroller->Target()) : nullptr;
		if (list != nullptr) {
			for (int32 i = 0; i < list->CountRows(); i++) {
				fRows.push_back(list->RowText(i));
				if (!fRowPath.empty() && fRowPath == fRows.back())
					fRow = i;
			}
			BRect frame = list->ItemFrame(fRow < 0 ? 0 : fRow);
			*row = list->ConvertToScreen(BPoint(frame.left + 40,
				(frame.top + frame.bottom) / 2));
		}
		looper->Unlock();
		return list != nullptr;
	}

	int32 fRow;
	std::string fRowPath;
	std::string fButton;
	std::vector<std::string> fRows;
	bool fAnswered = false;
	std::thread fThread;
};

#endif // _TEST_CHOOSER_ANSWERER_H
