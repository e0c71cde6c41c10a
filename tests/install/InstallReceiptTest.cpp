// The receipt's form: what a record holds survives writing and reading, a
// record is replaced whole, and damaged or hostile records are refused
// without changing the receipt read into.

#include "TempRoot.h"

#include "CreatePath.h"
#include "InstallReceipt.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

using nlohmann::ordered_json;

namespace {

const char* const kDigest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";


ReceiptItem
Item(const std::string& path, receipt_kind kind, receipt_existing existing)
{
	ReceiptItem item;
	item.fPath = path;
	item.fKind = kind;
	item.fExisting = existing;
	item.fMode = kind == kReceiptFolder ? 0755 : 0644;
	item.fModified = 1796800000;
	if (kind == kReceiptFile) {
		item.fSize = 3;
		item.fSha256 = kDigest;
	} else if (kind == kReceiptLink)
		item.fLinkTarget = "../lib/libtool.so";
	return item;
}


// Every kind of item and every rule for an existing entry.
InstallReceipt
FullReceipt()
{
	InstallReceipt receipt;
	receipt.fPackageName = "Tool";
	receipt.fDescription = "A tool \"quoted\"\nover two lines";
	receipt.fSigner = "Maker <keys@maker.example>";
	receipt.fInstalledAt = 1796813700;
	receipt.fInstaller = "kestrovan-installer 1.0";
	receipt.fVolume = "boot";
	receipt.fInstallFolder = "/boot/apps/Tool";
	receipt.fGroups = { "Core", "Docs" };
	receipt.fItems = {
		Item("/boot/apps/Tool", kReceiptFolder, kExistingNone),
		Item("/boot/apps/Tool/tool", kReceiptFile, kExistingReplaced),
		Item("/boot/apps/Tool/current", kReceiptLink, kExistingNone),
		Item("/boot/home/config", kReceiptFolder, kExistingMerged),
		Item("/boot/home/config/tool.cfg", kReceiptFile, kExistingRenamed),
		Item("/boot/home/config/keep.cfg", kReceiptFile, kExistingSkipped),
		Item("/boot/apps/Tool/library", kReceiptFile, kExistingPatched)
	};
	receipt.fItems[1].fSize = 5000000000LL;
	// What the run kept in place of its item is not read.
	receipt.fItems[5].fSha256.clear();
	receipt.fItems[4].fRenamedTo = "/boot/home/config/tool.cfg.old";
	receipt.fItems[6].fOriginal = "/boot/apps/Old Tool/library";
	receipt.fScripts = { { "setup", "/boot/apps/Tool" }, { "register", "" } };
	return receipt;
}


void
ExpectSameItem(const ReceiptItem& read, const ReceiptItem& written)
{
	SCOPED_TRACE(written.fPath);
	EXPECT_EQ(read.fPath, written.fPath);
	EXPECT_EQ(read.fKind, written.fKind);
	EXPECT_EQ(read.fSize, written.fSize);
	EXPECT_EQ(read.fSha256, written.fSha256);
	EXPECT_EQ(read.fMode, written.fMode);
	EXPECT_EQ(read.fModified, written.fModified);
	EXPECT_EQ(read.fLinkTarget, written.fLinkTarget);
	EXPECT_EQ(read.fExisting, written.fExisting);
	EXPECT_EQ(read.fRenamedTo, written.fRenamedTo);
	EXPECT_EQ(read.fOriginal, written.fOriginal);
}


void
ExpectSameReceipt(const InstallReceipt& read, const InstallReceipt& written)
{
	EXPECT_EQ(read.fPackageName, written.fPackageName);
	EXPECT_EQ(read.fDescription, written.fDescription);
	EXPECT_EQ(read.fSigner, written.fSigner);
	EXPECT_EQ(read.fInstalledAt, written.fInstalledAt);
	EXPECT_EQ(read.fInstaller, written.fInstaller);
	EXPECT_EQ(read.fVolume, written.fVolume);
	EXPECT_EQ(read.fInstallFolder, written.fInstallFolder);
	EXPECT_EQ(read.fGroups, written.fGroups);
	ASSERT_EQ(read.fItems.size(), written.fItems.size());
	for (size_t i = 0; i < read.fItems.size(); i++)
		ExpectSameItem(read.fItems[i], written.fItems[i]);
	ASSERT_EQ(read.fScripts.size(), written.fScripts.size());
	for (size_t i = 0; i < read.fScripts.size(); i++) {
		EXPECT_EQ(read.fScripts[i].fName, written.fScripts[i].fName);
		EXPECT_EQ(read.fScripts[i].fFolder, written.fScripts[i].fFolder);
	}
}


// The full receipt's JSON with one change made to it.
std::string
Damaged(const std::function<void(ordered_json&)>& damage)
{
	ordered_json document = ordered_json::parse(FullReceipt().ToJson());
	damage(document);
	return document.dump();
}


ordered_json&
ItemAt(ordered_json& document, size_t index)
{
	return document["items"][index];
}

} // namespace


TEST(InstallReceiptTest, EveryKindAndRuleSurvivesTheRoundTrip)
{
	InstallReceipt written = FullReceipt();
	InstallReceipt read;
	ASSERT_EQ(read.FromJson(written.ToJson()), B_OK) << written.ToJson();
	ExpectSameReceipt(read, written);

	// An unsigned package without an install folder.
	written.fSigner.clear();
	written.fInstallFolder.clear();
	written.fGroups.clear();
	written.fScripts.clear();
	ASSERT_EQ(read.FromJson(written.ToJson()), B_OK);
	ExpectSameReceipt(read, written);
}


TEST(InstallReceiptTest, TheRecordsFormForOtherReaders)
{
	InstallReceipt receipt = FullReceipt();
	receipt.fSigner.clear();
	ordered_json document = ordered_json::parse(receipt.ToJson());
	EXPECT_EQ(document["format"], 1);
	EXPECT_EQ(document["installed"], "2026-12-09T10:55:00Z");
	EXPECT_TRUE(document["package"]["signer"].is_null());
	EXPECT_EQ(document["package"]["name"], "Tool");
	EXPECT_EQ(document["install_folder"], "/boot/apps/Tool");
	const ordered_json& renamed = document["items"][4];
	EXPECT_EQ(renamed["kind"], "file");
	EXPECT_EQ(renamed["existing"], "renamed");
	EXPECT_EQ(renamed["renamed_to"], "/boot/home/config/tool.cfg.old");
	EXPECT_EQ(renamed["sha256"], kDigest);
	EXPECT_EQ(document["items"][2]["link_target"], "../lib/libtool.so");
	EXPECT_FALSE(document["items"][0].contains("sha256"));
	EXPECT_EQ(document["items"][6]["original"], "/boot/apps/Old Tool/library");
	EXPECT_EQ(document["items"][5]["sha256"], "");
	EXPECT_EQ(document["scripts"][0]["name"], "setup");

	// An install folder given as the volume's "." is written plain, as
	// readers take paths.
	receipt.fInstallFolder = "/boot/./apps/";
	InstallReceipt read;
	ASSERT_EQ(read.FromJson(receipt.ToJson()), B_OK);
	EXPECT_EQ(read.fInstallFolder, "/boot/apps");
	receipt.fInstallFolder = "/boot/.";
	ASSERT_EQ(read.FromJson(receipt.ToJson()), B_OK);
	EXPECT_EQ(read.fInstallFolder, "/boot");

	EXPECT_EQ(InstallReceipt::TimeText(0), "1970-01-01T00:00:00Z");
	EXPECT_EQ(InstallReceipt::TimeText(951825600), "2000-02-29T12:00:00Z");
}


// The record is written item by item; its text is laid out as the whole
// document would be, one key a line, nested a tab deeper, for people who
// read it, whatever the names hold.
TEST(InstallReceiptTest, TheTextIsLaidOutAsTheWholeDocument)
{
	InstallReceipt full = FullReceipt();
	full.fItems[1].fPath = "/boot/apps/Tool/a \"b\"\n\tc\\d \xff\xfe end";
	full.fItems[2].fLinkTarget = "../\n\"link\"";
	InstallReceipt empty = FullReceipt();
	empty.fItems.clear();
	empty.fScripts.clear();
	empty.fGroups.clear();
	InstallReceipt one = FullReceipt();
	one.fItems.resize(1);
	one.fScripts.resize(1);
	for (const InstallReceipt* receipt : { &full, &empty, &one }) {
		std::string text = receipt->ToJson();
		ordered_json document = ordered_json::parse(text);
		EXPECT_EQ(text, document.dump(1, '\t') + "\n");
		EXPECT_EQ(document["items"].size(), receipt->fItems.size());
	}
	InstallReceipt read;
	ASSERT_EQ(read.FromJson(full.ToJson()), B_OK);
	EXPECT_EQ(read.fItems[1].fPath, "/boot/apps/Tool/a \"b\"\n\tc\\d \xef\xbf\xbd\xef\xbf\xbd end");
	EXPECT_EQ(read.fItems[2].fLinkTarget, "../\n\"link\"");
}


TEST(InstallReceiptTest, DamagedAndHostileRecordsAreRefused)
{
	const std::vector<std::pair<const char*, std::function<void(ordered_json&)>>> damages = {
		{ "format 2", [](ordered_json& d) { d["format"] = 2; } },
		{ "no package", [](ordered_json& d) { d.erase("package"); } },
		{ "name a number", [](ordered_json& d) { d["package"]["name"] = 7; } },
		{ "signer a list", [](ordered_json& d) { d["package"]["signer"] = ordered_json::array(); } },
		{ "no month 13", [](ordered_json& d) { d["installed"] = "2026-13-01T00:00:00Z"; } },
		{ "time zone", [](ordered_json& d) { d["installed"] = "2026-12-09T10:55:00+01"; } },
		{ "volume a path", [](ordered_json& d) { d["volume"] = "boot/apps"; } },
		{ "volume ..", [](ordered_json& d) { d["volume"] = ".."; } },
		{ "folder relative", [](ordered_json& d) { d["install_folder"] = "apps/Tool"; } },
		{ "groups of numbers", [](ordered_json& d) { d["groups"] = { 1, 2 }; } },
		{ "items an object", [](ordered_json& d) { d["items"] = ordered_json::object(); } },
		{ "item a string", [](ordered_json& d) { ItemAt(d, 0) = "/boot/x"; } },
		{ "relative path", [](ordered_json& d) { ItemAt(d, 1)["path"] = "boot/apps/tool"; } },
		{ "climbing path", [](ordered_json& d) { ItemAt(d, 1)["path"] = "/boot/apps/../../etc"; } },
		{ "dot in path", [](ordered_json& d) { ItemAt(d, 1)["path"] = "/boot/./apps/tool"; } },
		{ "empty component", [](ordered_json& d) { ItemAt(d, 1)["path"] = "/boot//tool"; } },
		{ "trailing slash", [](ordered_json& d) { ItemAt(d, 1)["path"] = "/boot/apps/"; } },
		{ "a volume itself", [](ordered_json& d) { ItemAt(d, 0)["path"] = "/boot"; } },
		{ "the root", [](ordered_json& d) { ItemAt(d, 0)["path"] = "/"; } },
		{ "zero byte", [](ordered_json& d) { ItemAt(d, 1)["path"] = std::string("/boot/a\0b", 9); } },
		{ "long name", [](ordered_json& d) { ItemAt(d, 1)["path"] = "/boot/" + std::string(300, 'n'); } },
		{ "no path", [](ordered_json& d) { ItemAt(d, 1).erase("path"); } },
		{ "unknown kind", [](ordered_json& d) { ItemAt(d, 1)["kind"] = "device"; } },
		{ "unknown rule", [](ordered_json& d) { ItemAt(d, 1)["existing"] = "deleted"; } },
		{ "negative size", [](ordered_json& d) { ItemAt(d, 1)["size"] = -1; } },
		{ "size as text", [](ordered_json& d) { ItemAt(d, 1)["size"] = "12"; } },
		{ "size a fraction", [](ordered_json& d) { ItemAt(d, 1)["size"] = 1.5; } },
		{ "size past 63 bits", [](ordered_json& d) { ItemAt(d, 1)["size"] = UINT64_MAX; } },
		{ "type bits in mode", [](ordered_json& d) { ItemAt(d, 1)["mode"] = 0100644; } },
		{ "short digest", [](ordered_json& d) { ItemAt(d, 1)["sha256"] = "ba7816bf"; } },
		{ "upper-case digest", [](ordered_json& d) {
			ItemAt(d, 1)["sha256"] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"; } },
		{ "file without digest", [](ordered_json& d) { ItemAt(d, 1).erase("sha256"); } },
		{ "file with no digest", [](ordered_json& d) { ItemAt(d, 1)["sha256"] = ""; } },
		{ "kept entry with a bad digest", [](ordered_json& d) { ItemAt(d, 5)["sha256"] = "ab"; } },
		{ "link without target", [](ordered_json& d) { ItemAt(d, 2).erase("link_target"); } },
		{ "renamed nowhere", [](ordered_json& d) { ItemAt(d, 4).erase("renamed_to"); } },
		{ "renamed elsewhere", [](ordered_json& d) { ItemAt(d, 4)["renamed_to"] = "/boot/home/secret"; } },
		{ "renamed onto itself", [](ordered_json& d) {
			ItemAt(d, 4)["renamed_to"] = "/boot/home/config/tool.cfg"; } },
		{ "renamed upwards", [](ordered_json& d) {
			ItemAt(d, 4)["renamed_to"] = "/boot/home/config/../x"; } },
		{ "merged file", [](ordered_json& d) { ItemAt(d, 1)["existing"] = "merged"; } },
		{ "patched from nowhere", [](ordered_json& d) { ItemAt(d, 6).erase("original"); } },
		{ "patched folder", [](ordered_json& d) { ItemAt(d, 0)["existing"] = "patched"; } },
		{ "scripts missing", [](ordered_json& d) { d.erase("scripts"); } },
		{ "script a number", [](ordered_json& d) { d["scripts"][0] = 3; } },
	};
	InstallReceipt receipt = FullReceipt();
	InstallReceipt before = receipt;
	for (const auto& [what, damage] : damages) {
		EXPECT_EQ(receipt.FromJson(Damaged(damage)), B_BAD_DATA) << what;
		ExpectSameReceipt(receipt, before);
	}

	const std::vector<std::string> notRecords = { "", "null", "[]", "{}", "{\"format\": 1",
		"\xff\xfe", std::string(100000, '[') + std::string(100000, ']') };
	for (const std::string& text : notRecords)
		EXPECT_EQ(receipt.FromJson(text), B_BAD_DATA) << text.substr(0, 20);
	ExpectSameReceipt(receipt, before);
}


class InstallReceiptFileTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		BDirectory boot("/boot");
		BEntry folder;
		ASSERT_EQ(CreatePathAt(&boot, kReceiptFolderPath, &folder), B_OK);
		ASSERT_EQ(fFolder.SetTo(&folder), B_OK);
	}

	BDirectory fFolder;
};


TEST_F(InstallReceiptFileTest, ALaterRecordReplacesTheEarlierWhole)
{
	InstallReceipt first = FullReceipt();
	ASSERT_EQ(first.WriteTo(&fFolder, "Tool.json"), B_OK);
	InstallReceipt second = FullReceipt();
	second.fItems.resize(1);
	second.fInstalledAt++;
	// A file left by a run that died while writing is no obstacle.
	fRoot.WriteFile("boot/var/kestrovan/receipts/Tool.json.new", "half a rec");
	ASSERT_EQ(second.WriteTo(&fFolder, "Tool.json"), B_OK);

	InstallReceipt read;
	ASSERT_EQ(read.ReadFrom(&fFolder, "Tool.json"), B_OK);
	ExpectSameReceipt(read, second);
	EXPECT_EQ(fFolder.CountEntries(), 1);
}


TEST_F(InstallReceiptFileTest, MissingAndDamagedFiles)
{
	InstallReceipt read = FullReceipt();
	EXPECT_EQ(read.ReadFrom(&fFolder, "Nothing.json"), B_ENTRY_NOT_FOUND);
	fRoot.WriteFile("boot/var/kestrovan/receipts/Cut.json",
		FullReceipt().ToJson().substr(0, 200));
	EXPECT_EQ(read.ReadFrom(&fFolder, "Cut.json"), B_BAD_DATA);
	ExpectSameReceipt(read, FullReceipt());
}


TEST_F(InstallReceiptFileTest, FileNamesForPackageNames)
{
	EXPECT_EQ(InstallReceipt::FileNameFor("Tool"), "Tool.json");
	EXPECT_EQ(InstallReceipt::FileNameFor("Tools/Extra"), "Tools-Extra.json");
	EXPECT_EQ(InstallReceipt::FileNameFor(""), "package.json");
	EXPECT_EQ(InstallReceipt::FileNameFor(".."), "...json");

	// The longest name still leaves room for the file written first.
	std::string name = InstallReceipt::FileNameFor(std::string(400, 'n'));
	EXPECT_LT(name.size() + strlen(".new"), (size_t)B_FILE_NAME_LENGTH);
	InstallReceipt receipt = FullReceipt();
	EXPECT_EQ(receipt.WriteTo(&fFolder, name.c_str()), B_OK);
	EXPECT_TRUE(fFolder.Contains(name.c_str()));
}
