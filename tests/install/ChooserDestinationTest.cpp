// A query destination with several matches asks the user which one to
// install into; the answer decides the folder and whether the run goes on.

#include "ChooserAnswerer.h"
#include "TempRoot.h"

#include "DestManager.h"
#include "FindItem.h"
#include "PackAttrib.h"
#include "REntryList.h"

#include <Directory.h>
#include <Entry.h>
#include <Node.h>
#include <Path.h>
#include <TypeConstants.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kSignature = "application/x-vnd.Maker-Tool";

std::string
PathOf(const BDirectory* dir)
{
	BEntry entry;
	BPath path;
	if (dir == nullptr || dir->GetEntry(&entry) != B_OK || entry.GetPath(&path) != B_OK)
		return "<none>";
	return path.Path();
}

std::string
PathOf(const entry_ref& ref)
{
	BPath path;
	return path.SetTo(&ref) == B_OK ? path.Path() : "<none>";
}

std::string
ParentOf(const std::string& path)
{
	return path.substr(0, path.rfind('/'));
}

class ChooserDestinationTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		for (const char* path : {"Data/apps/Tool", "Data/old/Tool", "Data/home/bin/Tool"})
			MakeTool(path);
		// Same name, other size: no match.
		fRoot.WriteFile("Data/junk/Tool", "tool");
		BDirectory data("/Data");
		node_ref ref;
		ASSERT_EQ(data.GetNodeRef(&ref), B_OK);
		fAttrib.fCustomDestList->AddItem(new FindItem("Tool", 1234, kSignature));
		fManager = new DestManager(&fAttrib);
		ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps", ref.device, nullptr,
			false));
		fItem = static_cast<FindItem*>(fManager->fCustomDests->ItemAt(0));
	}

	void TearDown() override
	{
		fManager->FinishInstall(false, nullptr);
		delete fManager;
	}

	void MakeTool(const char* path)
	{
		fRoot.WriteFile(path, std::string(1234, 't'));
		BNode node((std::string("/") + path).c_str());
		ASSERT_EQ(node.WriteAttr("BEOS:APP_SIG", B_MIME_STRING_TYPE, 0, kSignature,
			strlen(kSignature) + 1), (ssize_t)strlen(kSignature) + 1);
	}

	// The matches in the order the query delivers them.
	std::vector<std::string> Matches()
	{
		REntryList matches;
		EXPECT_EQ(fManager->FetchQuery(fItem, &matches), B_OK);
		std::vector<std::string> paths;
		entry_ref ref;
		matches.Rewind();
		while (matches.GetNextRef(&ref) == B_OK)
			paths.push_back(PathOf(ref));
		return paths;
	}

	PackAttrib fAttrib;
	DestManager* fManager = nullptr;
	FindItem* fItem = nullptr;
};

} // namespace


TEST_F(ChooserDestinationTest, TheChosenMatchIsTheDestination)
{
	std::vector<std::string> matches = Matches();
	ASSERT_EQ(matches.size(), 3u);

	ChooserAnswerer answer(2, "Continue");
	BDirectory* dir = fManager->DirectoryFor(0, nullptr, true, true, nullptr);
	answer.Join();
	ASSERT_TRUE(answer.Answered());
	// Every match, in the order the query gave them.
	EXPECT_EQ(answer.Rows(), matches);
	EXPECT_FALSE(fManager->fCanceled);
	EXPECT_FALSE(fItem->fNotFound);
	EXPECT_EQ(PathOf(fItem->fFoundRef), matches[2]);
	EXPECT_EQ(PathOf(dir), ParentOf(matches[2]));
	// Asked once a run: the folder is kept.
	EXPECT_EQ(fManager->DirectoryFor(0, nullptr, true, true, nullptr), dir);
}


TEST_F(ChooserDestinationTest, ContinueAtOnceTakesTheFirstMatch)
{
	std::vector<std::string> matches = Matches();
	ChooserAnswerer answer(-1, "Continue");
	BDirectory* dir = fManager->DirectoryFor(0, nullptr, true, true, nullptr);
	answer.Join();
	ASSERT_TRUE(answer.Answered());
	EXPECT_FALSE(fManager->fCanceled);
	ASSERT_FALSE(matches.empty());
	EXPECT_EQ(PathOf(dir), ParentOf(matches[0]));
}


TEST_F(ChooserDestinationTest, CancelMarksTheRunCanceled)
{
	ChooserAnswerer answer(1, "Cancel");
	fManager->DirectoryFor(0, nullptr, true, true, nullptr);
	answer.Join();
	ASSERT_TRUE(answer.Answered());
	EXPECT_TRUE(fManager->fCanceled);

	// A new run asks again and starts uncanceled.
	fManager->FinishInstall(false, nullptr);
	BDirectory data("/Data");
	node_ref ref;
	ASSERT_EQ(data.GetNodeRef(&ref), B_OK);
	ASSERT_TRUE(fManager->SetupInstall(nullptr, (char*)"apps", ref.device, nullptr, false));
	EXPECT_FALSE(fManager->fCanceled);
	ChooserAnswerer again(-1, "Continue");
	EXPECT_NE(fManager->DirectoryFor(0, nullptr, true, true, nullptr), nullptr);
	again.Join();
	EXPECT_TRUE(again.Answered());
	EXPECT_FALSE(fManager->fCanceled);
}


TEST_F(ChooserDestinationTest, WhatTheRunMovedAwayIsNotOffered)
{
	// The run replaced the installed Tool: the displaced one waits in the
	// run's temporary folder, to be deleted when the run ends.
	BDirectory apps("/Data/apps");
	BEntry installed("/Data/apps/Tool");
	fManager->SafeDelete(&installed, &apps);
	MakeTool("Data/apps/Tool");
	fManager->NoteCreated(&apps, "Tool");

	ChooserAnswerer answer(-1, "Continue");
	fManager->DirectoryFor(0, nullptr, true, true, nullptr);
	answer.Join();
	ASSERT_TRUE(answer.Answered());
	EXPECT_EQ(answer.Rows(), (std::vector<std::string>{"/Data/apps/Tool",
		"/Data/home/bin/Tool", "/Data/old/Tool"}));
}
