// Queries over the volumes of a system root, as the installer builds them to
// find where an earlier version of a file lies.

#include "ExtrasFixture.h"

#include <Entry.h>
#include <Node.h>
#include <Path.h>
#include <Query.h>
#include <TypeConstants.h>

#include <dirent.h>
#include <unistd.h>

#include <cstring>

namespace {

const char* const kSignature = "application/x-vnd.Maker-Tool";

} // namespace

class QueryTest : public ExtrasTest {
protected:
	void SetUp() override
	{
		ExtrasTest::SetUp();
		std::string tool(1234, 't');
		MakeFile("/boot/apps/Tool", tool);
		MakeFile("/boot/home/Tool", tool);
		MakeFile("/boot/home/Other", tool);
		MakeFile("/boot/home/deep/er/Tool", std::string(99, 'x'));
		MakeFile("/Data/Tool", tool);
		SetSignature("/boot/apps/Tool");
		SetSignature("/Data/Tool");
		// Links are never followed, into another volume or within one.
		symlink("/Data", HostPath("/boot/to-data").c_str());
		symlink("/boot/apps", HostPath("/boot/home/to-apps").c_str());
		ASSERT_EQ(GetVolume("boot", &fBoot), B_OK);
		ASSERT_EQ(GetVolume("Data", &fData), B_OK);
	}

	void SetSignature(const char* path)
	{
		BNode node(path);
		ASSERT_EQ(node.WriteAttr("BEOS:APP_SIG", B_MIME_STRING_TYPE, 0,
			kSignature, strlen(kSignature) + 1), (ssize_t)strlen(kSignature) + 1);
	}

	// The paths of every match, in the query's order.
	static std::vector<std::string> Run(const BVolume& volume,
		const char* predicate)
	{
		BQuery query;
		EXPECT_EQ(query.SetVolume(&volume), B_OK);
		EXPECT_EQ(query.SetPredicate(predicate), B_OK);
		EXPECT_EQ(query.Fetch(), B_OK) << predicate;
		std::vector<std::string> paths;
		BEntry entry;
		while (query.GetNextEntry(&entry) == B_OK) {
			BPath path;
			EXPECT_EQ(entry.GetPath(&path), B_OK);
			paths.push_back(path.Path() != nullptr ? path.Path() : "?");
		}
		return paths;
	}

	BVolume fBoot;
	BVolume fData;
};

TEST_F(QueryTest, TheInstallersPredicates)
{
	using Paths = std::vector<std::string>;
	EXPECT_EQ(Run(fBoot, "size = 1234"),
		(Paths{"/boot/apps/Tool", "/boot/home/Other", "/boot/home/Tool"}));
	EXPECT_EQ(Run(fBoot, "BEOS:APP_SIG = application/x-vnd.Maker-Tool"),
		(Paths{"/boot/apps/Tool"}));
	EXPECT_EQ(Run(fBoot, "name = Tool && size = 1234"),
		(Paths{"/boot/apps/Tool", "/boot/home/Tool"}));
	EXPECT_EQ(Run(fBoot, "name = \"Tool\""),
		(Paths{"/boot/apps/Tool", "/boot/home/Tool", "/boot/home/deep/er/Tool"}));
	EXPECT_EQ(Run(fBoot, "size = 1234 && BEOS:APP_SIG = application/x-vnd.Other"),
		Paths{});
	EXPECT_EQ(Run(fBoot, "name = to-*"),
		(Paths{"/boot/home/to-apps", "/boot/to-data"}))
		<< "links are found themselves, never followed";

	// The same predicates on the other volume find only its own entries.
	EXPECT_EQ(Run(fData, "size = 1234"), (Paths{"/Data/Tool"}));
	EXPECT_EQ(Run(fData, "BEOS:APP_SIG = application/x-vnd.Maker-Tool"),
		(Paths{"/Data/Tool"}));
}

TEST_F(QueryTest, NumericAttributesAndResultWalking)
{
	int32 rating = 7;
	BNode node("/boot/home/Other");
	ASSERT_EQ(node.WriteAttr("Media:Rating", B_INT32_TYPE, 0, &rating,
		sizeof(rating)), (ssize_t)sizeof(rating));
	EXPECT_EQ(Run(fBoot, "Media:Rating > 5"),
		(std::vector<std::string>{"/boot/home/Other"}));
	EXPECT_TRUE(Run(fBoot, "Media:Rating > 7").empty());

	BQuery query;
	ASSERT_EQ(query.SetVolume(&fBoot), B_OK);
	ASSERT_EQ(query.SetPredicate("size = 1234"), B_OK);
	char predicate[32];
	ASSERT_EQ(query.GetPredicate(predicate, sizeof(predicate)), B_OK);
	EXPECT_STREQ(predicate, "size = 1234");
	EXPECT_EQ(query.PredicateLength(), strlen("size = 1234") + 1);
	EXPECT_EQ(query.TargetDevice(), fBoot.Device());
	EXPECT_FALSE(query.IsLive());
	ASSERT_EQ(query.Fetch(), B_OK);
	EXPECT_EQ(query.CountEntries(), 3);

	entry_ref first, ref;
	ASSERT_EQ(query.GetNextRef(&first), B_OK);
	EXPECT_STREQ(first.name, "Tool");
	EXPECT_EQ(first.device, fBoot.Device());
	BEntry fromRef(&first);
	BPath path(&fromRef);
	EXPECT_STREQ(path.Path(), "/boot/apps/Tool");
	ASSERT_EQ(query.GetNextRef(&ref), B_OK);
	ASSERT_EQ(query.GetNextRef(&ref), B_OK);
	EXPECT_EQ(query.GetNextRef(&ref), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(query.GetNextRef(&ref), B_ENTRY_NOT_FOUND);

	ASSERT_EQ(query.Rewind(), B_OK);
	ASSERT_EQ(query.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref, first);

	ASSERT_EQ(query.Rewind(), B_OK);
	alignas(struct dirent) char buffer[sizeof(struct dirent) * 4];
	struct dirent* records = reinterpret_cast<struct dirent*>(buffer);
	EXPECT_EQ(query.GetNextDirents(records, 8), B_BAD_VALUE) << "no room";
	ASSERT_EQ(query.GetNextDirents(records, sizeof(buffer), 2), 2);
	EXPECT_STREQ(records->d_name, "Tool");
	struct dirent* second = reinterpret_cast<struct dirent*>(
		buffer + records->d_reclen);
	EXPECT_STREQ(second->d_name, "Other");
	struct stat st;
	ASSERT_EQ(stat(HostPath("/boot/home/Other").c_str(), &st), 0);
	EXPECT_EQ(second->d_ino, st.st_ino);
	EXPECT_EQ(query.GetNextDirents(records, sizeof(buffer)), 1);
	EXPECT_EQ(query.GetNextDirents(records, sizeof(buffer)), 0);
}

TEST_F(QueryTest, MisuseAndMalformedPredicates)
{
	BQuery query;
	entry_ref ref;
	EXPECT_EQ(query.Fetch(), B_NO_INIT);
	EXPECT_EQ(query.GetNextRef(&ref), B_NO_INIT);
	ASSERT_EQ(query.SetPredicate("size = 1234"), B_OK);
	EXPECT_EQ(query.Fetch(), B_NO_INIT) << "no volume yet";
	BVolume unset;
	EXPECT_EQ(query.SetVolume(&unset), B_BAD_VALUE);
	ASSERT_EQ(query.SetVolume(&fBoot), B_OK);

	ASSERT_EQ(query.SetPredicate("size = = 1234"), B_OK);
	EXPECT_EQ(query.Fetch(), B_BAD_VALUE);
	ASSERT_EQ(query.SetPredicate("name = \"Tool"), B_OK);
	EXPECT_EQ(query.Fetch(), B_BAD_VALUE);
	ASSERT_EQ(query.SetPredicate("size = 1234 &&"), B_OK);
	EXPECT_EQ(query.Fetch(), B_BAD_VALUE);

	ASSERT_EQ(query.SetPredicate("size = 99"), B_OK);
	ASSERT_EQ(query.Fetch(), B_OK);
	EXPECT_EQ(query.Fetch(), B_NOT_ALLOWED) << "a query runs once";
	EXPECT_EQ(query.SetPredicate("size = 1"), B_NOT_ALLOWED);
	BEntry entry;
	ASSERT_EQ(query.GetNextEntry(&entry), B_OK);
	EXPECT_EQ(query.GetNextEntry(&entry), B_ENTRY_NOT_FOUND);

	// Cleared, the same object serves a new query.
	ASSERT_EQ(query.Clear(), B_OK);
	EXPECT_EQ(query.Fetch(), B_NO_INIT);
	ASSERT_EQ(query.SetVolume(&fData), B_OK);
	ASSERT_EQ(query.SetPredicate("name = Tool"), B_OK);
	ASSERT_EQ(query.Fetch(), B_OK);
	EXPECT_EQ(query.CountEntries(), 1);
}
