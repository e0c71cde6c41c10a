// Reading the package attributes: keys in any order, repeated keys, the
// group list and its rows, the destination lists.

#include "PackageFixture.h"

#include "FindItem.h"
#include "GroupList.h"
#include "PackAttrib.h"

#include <cstring>

namespace {

// A package whose attribute section is `section`.
Bytes
package_with_attributes(const Bytes& section)
{
	return assemble_package(standard_header(), empty_catalog(), section);
}

} // namespace


class PackAttribTest : public PackageTest {
protected:
	// Opens a package with the section and reads it into fAttrib.
	status_t Read(const Bytes& section)
	{
		fPack = Open(package_with_attributes(section));
		EXPECT_NE(fPack->fEntry, nullptr) << fAlerts;
		if (fPack->fEntry == nullptr)
			return B_ERROR;
		fAttrib = std::make_unique<PackAttrib>();
		return fPack->NewReadAttributes(fAttrib.get());
	}

	std::unique_ptr<InstallPack> fPack;
	std::unique_ptr<PackAttrib> fAttrib;
};


TEST_F(PackAttribTest, DefaultsWithoutAnyKey)
{
	RecordBytes section;
	section.Group('PkgA').End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	EXPECT_EQ(fAttrib->fGroupList->CountGroups(), 0);
	EXPECT_EQ(fAttrib->fGroupList->CountRows(), 0);
	EXPECT_EQ(fAttrib->fDefaultDestList->CountItems(), 0);
	EXPECT_EQ(fAttrib->fCustomDestList->CountItems(), 0);
	EXPECT_TRUE(fAttrib->fCreateTopFolder);
	EXPECT_TRUE(fAttrib->fFolderChoice);
	EXPECT_EQ(fAttrib->fPackageName, nullptr);
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);
	EXPECT_FALSE(fAttrib->fScriptFailure);
	EXPECT_NE(fPack->fFile, nullptr) << "the package stays open";
}


TEST_F(PackAttribTest, KeysInAnyOrderWithUnknownKeysBetween)
{
	std::string help("Read me first.");
	help.push_back('\0');
	Bytes styles = { 'A', 'l', 'i', '!', 0, 0, 0, 0, 0, 0, 0, 0 };
	RecordBytes section;
	section.Group('PkgA')
		.Int32(19, 0x2 | 0x4)
		.String(17, "seventeen")
		.Bin(10, help)
		.String(99, "an unknown key")
		.Group(30).String('Name', "an unknown group").End()
		.Int32(16, -7)
		.Bin(21, styles.data(), styles.size())
		.String(15, "fifteen")
		.Int32(12, 0)
		.Bin(7, std::string("You agree."))
		.String(14, "fourteen")
		.Int32(6, 0)
		.String(5, "A tool for tests.")
		.String(13, "Test Package")
		.Header(8, kNumberRecord, 3).Raw("123456789012", 12)
		.End();
	ASSERT_EQ(Read(section.Data()), B_OK);

	EXPECT_STREQ(fAttrib->fPackageName, "Test Package");
	EXPECT_STREQ(fAttrib->fDescription, "A tool for tests.");
	EXPECT_FALSE(fAttrib->fCreateTopFolder);
	EXPECT_FALSE(fAttrib->fFolderChoice);
	ASSERT_NE(fAttrib->fAgreementText, nullptr);
	EXPECT_EQ(fAttrib->fAgreementLength, 10u);
	EXPECT_EQ(std::string(fAttrib->fAgreementText, 10), "You agree.");
	EXPECT_EQ(fAttrib->fAgreementText[10], '\0') << "usable as text";
	EXPECT_STREQ(fAttrib->fHelpText, "Read me first.");
	ASSERT_NE(fAttrib->fAgreementStyles, nullptr);
	EXPECT_EQ(fAttrib->fAgreementStylesLength, styles.size());
	EXPECT_EQ(memcmp(fAttrib->fAgreementStyles, styles.data(), styles.size()), 0);
	EXPECT_STREQ(fAttrib->fText14, "fourteen");
	EXPECT_STREQ(fAttrib->fText15, "fifteen");
	EXPECT_STREQ(fAttrib->fText17, "seventeen");
	EXPECT_EQ(fAttrib->fValue16, -7);
	EXPECT_TRUE(fAttrib->fOptionFlag1);
	EXPECT_TRUE(fAttrib->fOptionFlag2);
	EXPECT_FALSE(fAttrib->fScriptFailure);
}


TEST_F(PackAttribTest, RepeatedKeysReplaceTextsAndExtendLists)
{
	RecordBytes section;
	section.Group('PkgA')
		.String(13, "First Name")
		.Group(1).Group('IGrp').String('GrpN', "Base").End().End()
		.Group(3).Group('DPat').String('PaNa', "apps").End().End()
		.String(13, "Second Name")
		.Group(1).Group('IGrp').String('GrpN', "Extras").End().End()
		.Group(3).Group('DPat').String('PaNa', "docs").End().End()
		.Bin(7, std::string("first agreement"))
		.Bin(7, std::string(""))
		.End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	EXPECT_STREQ(fAttrib->fPackageName, "Second Name");
	ASSERT_EQ(fAttrib->fGroupList->CountGroups(), 2);
	EXPECT_STREQ(fAttrib->fGroupList->GroupAt(0)->Name(), "Base");
	EXPECT_STREQ(fAttrib->fGroupList->GroupAt(1)->Name(), "Extras");
	ASSERT_EQ(fAttrib->fDefaultDestList->CountItems(), 2);
	EXPECT_STREQ(fAttrib->fDefaultDestList->ItemAt(1)->fPath, "docs");
	EXPECT_EQ(fAttrib->fAgreementText, nullptr)
		<< "an empty agreement replaces the earlier one and is absent";
	EXPECT_EQ(fAttrib->fAgreementLength, 0u);
}


TEST_F(PackAttribTest, PackageFlags)
{
	struct { int32 value; bool option1, option2, scriptFailure; } cases[] = {
		{ 8, false, false, true },
		{ 1, false, false, false },
		{ 2, true, false, false },
		{ 4, false, true, false },
		{ (int32)0xFFFFFFF1, false, false, false },
		{ 0xE, true, true, true },
	};
	for (const auto& flags : cases) {
		RecordBytes section;
		section.Group('PkgA').Int32(19, flags.value).End();
		ASSERT_EQ(Read(section.Data()), B_OK);
		EXPECT_EQ(fAttrib->fOptionFlag1, flags.option1) << flags.value;
		EXPECT_EQ(fAttrib->fOptionFlag2, flags.option2) << flags.value;
		EXPECT_EQ(fAttrib->fScriptFailure, flags.scriptFailure) << flags.value;
	}
}


TEST_F(PackAttribTest, AgreementAndHelpTextThatAreAbsent)
{
	std::string zeroFirst("\0text after a zero", 18);
	RecordBytes section;
	section.Group('PkgA').Bin(7, zeroFirst).Bin(10, zeroFirst).End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);
	EXPECT_EQ(fAttrib->fAgreementLength, 0u);
	EXPECT_EQ(fAttrib->fHelpText, nullptr);

	RecordBytes empty;
	empty.Group('PkgA').Bin(7, std::string()).End();
	ASSERT_EQ(Read(empty.Data()), B_OK);
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);

	// Help text stored without its terminating zero still ends.
	RecordBytes unterminated;
	unterminated.Group('PkgA').Bin(10, std::string("no zero")).End();
	ASSERT_EQ(Read(unterminated.Data()), B_OK);
	EXPECT_STREQ(fAttrib->fHelpText, "no zero");
}


TEST_F(PackAttribTest, GroupsAndDisplayRows)
{
	RecordBytes section;
	section.Group('PkgA')
		.Group(1)
			.Group('IGrp').String('GrpN', "Base").String('GrpD', "Everything needed")
				.String('GrHt', "").End()
			.Int32('Junk', 5)
			.Group('IGrp').String('GrHt', "Some help").String('GrpN', "Docs").End()
			.Group('IGrp').String('GrpN', "Extras").String('GrpD', "More").End()
		.End()
		.Group(2)
			.Int32('GrId', 2).Int32('GrId', -1).Int32('GrId', 0).String('Note', "x")
			.Int32('GrId', 1).Int32('GrId', 7)
		.End()
		.End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	GroupList* groups = fAttrib->fGroupList;
	ASSERT_EQ(groups->CountGroups(), 3);
	EXPECT_STREQ(groups->GroupAt(0)->Name(), "Base");
	EXPECT_STREQ(groups->GroupAt(0)->Description(), "Everything needed");
	EXPECT_EQ(groups->GroupAt(0)->HelpText(), nullptr) << "empty help is absent";
	EXPECT_STREQ(groups->GroupAt(1)->Name(), "Docs");
	EXPECT_EQ(groups->GroupAt(1)->Description(), nullptr);
	EXPECT_STREQ(groups->GroupAt(1)->HelpText(), "Some help");

	ASSERT_EQ(groups->CountRows(), 5);
	EXPECT_EQ(groups->RowAt(0)->fGroup, 2);
	EXPECT_TRUE(groups->RowAt(1)->IsSeparator());
	EXPECT_EQ(groups->RowAt(4)->fGroup, 7) << "a row of no group is kept";
	EXPECT_FALSE(groups->RowAt(0)->fSelected);
	// Positions among the group rows as shown: the separator counts not.
	EXPECT_EQ(groups->ViewIndexFor(2), 0);
	EXPECT_EQ(groups->ViewIndexFor(0), 1);
	EXPECT_EQ(groups->ViewIndexFor(1), 2);
	EXPECT_EQ(groups->ViewIndexFor(7), -1);
}


TEST_F(PackAttribTest, RowsBeforeGroupsGiveTheSameViewIndex)
{
	RecordBytes section;
	section.Group('PkgA')
		.Group(2).Int32('GrId', 1).Int32('GrId', 0).End()
		.Group(1)
			.Group('IGrp').String('GrpN', "A").End()
			.Group('IGrp').String('GrpN', "B").End()
		.End()
		.End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	EXPECT_EQ(fAttrib->fGroupList->ViewIndexFor(1), 0);
	EXPECT_EQ(fAttrib->fGroupList->ViewIndexFor(0), 1);
}


TEST_F(PackAttribTest, MoreThanThirtyTwoGroupsAreRead)
{
	RecordBytes section;
	section.Group('PkgA').Group(1);
	for (int32 index = 0; index < 34; index++)
		section.Group('IGrp').String('GrpN', "G" + std::to_string(index)).End();
	section.End().End();
	fPack = Open(package_with_attributes(section.Data()));
	ASSERT_NE(fPack->fEntry, nullptr);
	fAttrib = std::make_unique<PackAttrib>();
	testing::internal::CaptureStderr();
	status_t status = fPack->NewReadAttributes(fAttrib.get());
	EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no limit alert";
	ASSERT_EQ(status, B_OK);
	EXPECT_EQ(fAttrib->fGroupList->CountGroups(), 34);
	EXPECT_EQ(GroupList::GroupMaskFor(31), 0x80000000u);
	EXPECT_EQ(GroupList::GroupMaskFor(32), 0u) << "no bit for group 32";
	EXPECT_EQ(GroupList::GroupMaskFor(-1), 0u);
}


TEST_F(PackAttribTest, DefaultDestinations)
{
	RecordBytes section;
	section.Group('PkgA').Group(3)
		.Group('DPat').String('PaNa', "apps/Tool").End()
		.Group('DPat').String('PaNa', "config/settings").Int32('FDst', 1002).End()
		.Group('DPat').Int32('FDst', 1003).String('PaNa', "fonts").End()
		.Group('DPat').Int32('FDst', 1004).End()
		.Group('DPat').String('PaNa', "first").String('PaNa', "second").End()
		.End().End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	RList<DestItem*>* list = fAttrib->fDefaultDestList;
	ASSERT_EQ(list->CountItems(), 4) << "a group without a path adds nothing";
	EXPECT_STREQ(list->ItemAt(0)->fPath, "apps/Tool");
	EXPECT_EQ(list->ItemAt(0)->fWhich, kNoSystemDirectory);
	EXPECT_EQ(list->ItemAt(0)->fDir, nullptr);
	EXPECT_EQ(list->ItemAt(1)->fWhich, 1002);
	EXPECT_STREQ(list->ItemAt(2)->fPath, "fonts");
	EXPECT_EQ(list->ItemAt(2)->fWhich, 1003) << "members in any order";
	EXPECT_STREQ(list->ItemAt(3)->fPath, "second");
}


TEST_F(PackAttribTest, CustomDestinationsAndQueries)
{
	RecordBytes section;
	section.Group('PkgA').Group(4)
		.Group('DPat').String('PaNa', "/boot/apps").Int32('FDst', 1002).End()
		// No signature: no destination, so the indices after it shift.
		.Group('DQue').String('DQTi', "Lost").Int64('DQSz', 10).End()
		.Group('DQue').String('DQMi', "application/x-vnd.tool")
			.Int64('DQSz', 5000000000LL).String('DQTi', "Tool").End()
		.Group('DQue').String('DQTi', "NoSize").String('DQMi', "").End()
		.End().End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	RList<DestItem*>* list = fAttrib->fCustomDestList;
	ASSERT_EQ(list->CountItems(), 3);
	EXPECT_STREQ(list->ItemAt(0)->fPath, "/boot/apps");
	EXPECT_EQ(list->ItemAt(0)->fWhich, kNoSystemDirectory)
		<< "a custom path names no system folder";

	FindItem* tool = dynamic_cast<FindItem*>(list->ItemAt(1));
	ASSERT_NE(tool, nullptr);
	EXPECT_STREQ(tool->fPath, "Tool");
	EXPECT_EQ(tool->fWhich, kNoSystemDirectory);
	EXPECT_EQ(tool->fSize, 5000000000LL);
	EXPECT_FALSE(tool->fNotFound);
	ASSERT_EQ(tool->CountPredicates(), 2);
	EXPECT_STREQ(tool->PredicateAt(0), "size = 5000000000");
	EXPECT_STREQ(tool->PredicateAt(1), "BEOS:APP_SIG = application/x-vnd.tool");

	FindItem* noSize = dynamic_cast<FindItem*>(list->ItemAt(2));
	ASSERT_NE(noSize, nullptr);
	EXPECT_EQ(noSize->fSize, 0) << "a query without a size looks for size 0";
	ASSERT_EQ(noSize->CountPredicates(), 1) << "an empty signature adds none";
	EXPECT_STREQ(noSize->PredicateAt(0), "size = 0");
}


TEST_F(PackAttribTest, FailuresKeepWhatWasRead)
{
	RecordBytes notSection;
	notSection.Group('PkgB').End();
	EXPECT_EQ(Read(notSection.Data()), B_ERROR);

	// Cut inside the section: the fields before the cut are kept and the
	// failure comes back.
	RecordBytes section;
	section.Group('PkgA').String(13, "Kept").Group(1)
		.Group('IGrp').String('GrpN', "Whole").End()
		.Group('IGrp').String('GrpN', "Cut");
	Bytes bytes = section.Data();
	bytes.resize(bytes.size() - 2);
	EXPECT_LT(Read(bytes), B_OK);
	EXPECT_STREQ(fAttrib->fPackageName, "Kept");
	ASSERT_EQ(fAttrib->fGroupList->CountGroups(), 1);
	EXPECT_STREQ(fAttrib->fGroupList->GroupAt(0)->Name(), "Whole");

	// A key whose record has the wrong type is skipped like an unknown one.
	RecordBytes wrongTypes;
	wrongTypes.Group('PkgA').Int32(13, 5).String(6, "not a number")
		.String(1, "not a list").Group(5).End().String(13, "Right").End();
	ASSERT_EQ(Read(wrongTypes.Data()), B_OK);
	EXPECT_STREQ(fAttrib->fPackageName, "Right");
	EXPECT_TRUE(fAttrib->fCreateTopFolder);
	EXPECT_EQ(fAttrib->fDescription, nullptr);
}


TEST_F(PackAttribTest, HandingOverListsAndAgreement)
{
	RecordBytes section;
	section.Group('PkgA').Bin(7, std::string("Agree")).Group(3)
		.Group('DPat').String('PaNa', "apps").End().End().End();
	ASSERT_EQ(Read(section.Data()), B_OK);
	RList<DestItem*>* list = fAttrib->TakeDefaultDestList();
	EXPECT_EQ(fAttrib->fDefaultDestList, nullptr);
	char* agreement = fAttrib->TakeAgreementText();
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);
	fAttrib.reset();
	// What was handed over outlives the record.
	EXPECT_STREQ(list->ItemAt(0)->fPath, "apps");
	EXPECT_STREQ(agreement, "Agree");
	free(agreement);
	list->MakeEmptyAndDelete();
	delete list;
}

TEST_F(PackAttribTest, UndecodableBinsAreLeftOut)
{
	// An agreement stored by another codec, and help text whose zlib data
	// is damaged: both absent, and the keys after them are still read.
	RecordBytes section;
	section.Group('PkgA')
		.Header(7, kBinRecord, 0).Int64(kNoHeaderTag, 5).Int64(kNoHeaderTag, 5)
			.Int32(kNoHeaderTag, 1).Raw("plain", 5)
		.Header(10, kBinRecord, 0).Int64(kNoHeaderTag, 6).Int64(kNoHeaderTag, 100)
			.Int32(kNoHeaderTag, 2).Raw("\x78\x9c\xff\xff\xff\xff", 6)
		.String(13, "After")
		.End();
	fPack = Open(package_with_attributes(section.Data()));
	ASSERT_NE(fPack->fEntry, nullptr);
	fAttrib = std::make_unique<PackAttrib>();
	testing::internal::CaptureStderr();
	status_t status = fPack->NewReadAttributes(fAttrib.get());
	std::string alerts = testing::internal::GetCapturedStderr();
	ASSERT_EQ(status, B_OK) << alerts;
	EXPECT_NE(alerts.find("Compression data error."), std::string::npos) << alerts;
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);
	EXPECT_EQ(fAttrib->fHelpText, nullptr);
	EXPECT_STREQ(fAttrib->fPackageName, "After");

	// A text that claims to decode to more than any text needs is skipped
	// without being decoded.
	RecordBytes huge;
	huge.Group('PkgA')
		.Header(7, kBinRecord, 0).Int64(kNoHeaderTag, 4).Int64(kNoHeaderTag,
			1LL << 40).Int32(kNoHeaderTag, 2).Raw("abcd", 4)
		.String(13, "Still read")
		.End();
	ASSERT_EQ(Read(huge.Data()), B_OK);
	EXPECT_EQ(fAttrib->fAgreementText, nullptr);
	EXPECT_STREQ(fAttrib->fPackageName, "Still read");
}
