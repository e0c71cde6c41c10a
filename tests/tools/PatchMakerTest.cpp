// The patch maker: patch data that the installer's own patch code turns
// back into the new file, byte for byte, for every kind of file pair, using
// every instruction form; and the "diff" command.

#include "ToolFixture.h"

#include "ArchivePatchItem.h"
#include "DoError.h"
#include "PatchCostModel.h"
#include "PatchEncoder.h"
#include "PatchMaker.h"
#include "PackageAssembler.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageVerifier.h"
#include "TempRoot.h"

#include <SanitizerBuild.h>

#include <zlib.h>

#include <random>
#include <set>
#include <vector>

namespace {

typedef std::vector<uint8> Data;

struct instruction {
	int tag;
	uint32 length;
	uint32 offset;
};


// Reads patch data independently of the installer: the instructions in
// order, up to the end op.
std::vector<instruction>
Decode(const Data& patch)
{
	std::vector<instruction> list;
	size_t at = 20;
	auto next = [&](int bytes) {
		uint32 value = 0;
		for (int i = 0; i < bytes; i++)
			value = (value << 8) | patch.at(at++);
		return value;
	};
	while (at < patch.size()) {
		uint8 op = patch[at++];
		instruction step{op & 0x0f, 0, 0};
		if (step.tag == 15)
			break;
		uint32 high = op >> 4;
		switch (step.tag % 3) {
			case 0: step.length = high + 1; break;
			case 1: step.length = high * 256 + next(1) + 17; break;
			default: step.length = high * 65536 + next(2) + 4113; break;
		}
		if (step.tag < 3)
			at += step.length;
		else
			step.offset = next(step.tag < 6 ? 2 : step.tag < 9 ? 3 : 4);
		list.push_back(step);
	}
	return list;
}


uint32
BigEndianAt(const Data& data, size_t at)
{
	return (uint32)data[at] << 24 | (uint32)data[at + 1] << 16 | (uint32)data[at + 2] << 8
		| data[at + 3];
}


Data
RandomBytes(size_t size, uint32 seed)
{
	std::mt19937 random(seed);
	Data data(size);
	for (uint8& byte : data)
		byte = (uint8)random();
	return data;
}


// Text-like data: words of a vocabulary of a thousand, so that a hash
// meets many candidates.
Data
Words(size_t size, uint32 seed)
{
	std::mt19937 random(seed);
	std::vector<std::string> words;
	std::mt19937 letters(12345);
	for (int i = 0; i < 1000; i++) {
		std::string word;
		for (size_t length = 2 + letters() % 8; word.size() < length;)
			word += (char)('a' + letters() % 26);
		words.push_back(word + (i % 10 == 0 ? "\n" : " "));
	}
	Data data;
	while (data.size() < size) {
		// Common words come up far more often.
		const std::string& word = words[(random() % 1000) * (random() % 1000) / 1000];
		data.insert(data.end(), word.begin(), word.end());
	}
	data.resize(size);
	return data;
}


class PatchMakerTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		SetAlertSink(StandardErrorAlertSink());
	}

	void TearDown() override { SetAlertSink(nullptr); }

	// Makes the patch, checks its header, and has the installer apply it.
	Data RoundTrip(const Data& oldData, const Data& newData)
	{
		PatchMaker maker;
		Data patch = maker.Make(oldData.data(), oldData.size(), newData.data(),
			newData.size());
		EXPECT_GE(patch.size(), 21u);
		EXPECT_EQ(memcmp(patch.data(), "QVpt", 4), 0);
		EXPECT_EQ(BigEndianAt(patch, 4), oldData.size());
		EXPECT_EQ(BigEndianAt(patch, 8), crc32(0, oldData.data(), oldData.size()));
		EXPECT_EQ(BigEndianAt(patch, 12), newData.size());
		EXPECT_EQ(BigEndianAt(patch, 16), crc32(0, newData.data(), newData.size()));
		EXPECT_EQ(maker.LiteralBytes() + maker.CopiedBytes(), newData.size());

		Write("boot/old", oldData);
		Write("boot/patch", patch);
		fRoot.WriteFile("boot/new", "");
		ArchivePatchItem item;
		testing::internal::CaptureStderr();
		int32 result = item.ApplyPatch("/boot/old", "/boot/new", "/boot/patch", 0);
		std::string alerts = testing::internal::GetCapturedStderr();
		EXPECT_EQ(result, 0) << alerts;
		EXPECT_EQ(alerts, "");
		std::string rebuilt = fRoot.ReadFile("boot/new");
		EXPECT_TRUE(rebuilt == std::string(newData.begin(), newData.end()))
			<< "rebuilt " << rebuilt.size() << " bytes of " << newData.size();
		for (const instruction& step : Decode(patch))
			fTags.insert(step.tag);
		return patch;
	}

	void Write(const std::string& path, const Data& data)
	{
		fRoot.WriteFile(path, std::string(data.begin(), data.end()));
	}

	std::set<int> fTags;
};

} // namespace


TEST_F(PatchMakerTest, EmptyAndIdenticalFiles)
{
	// Nothing into nothing: the header and the end op only.
	Data patch = RoundTrip({}, {});
	EXPECT_EQ(patch.size(), 21u);
	EXPECT_EQ(patch.back(), 15);
	// Something into nothing, nothing into something.
	Data text = Words(5000, 1);
	EXPECT_EQ(RoundTrip(text, {}).size(), 21u);
	patch = RoundTrip({}, text);
	EXPECT_EQ(patch.size(), 20u + 3 + 5000 + 1);

	// Identical files: one copy of the whole file.
	patch = RoundTrip(text, text);
	std::vector<instruction> steps = Decode(patch);
	ASSERT_EQ(steps.size(), 1u);
	EXPECT_EQ(steps[0].offset, 0u);
	EXPECT_EQ(steps[0].length, 5000u);
}


TEST_F(PatchMakerTest, CompletelyDifferentFilesAreLiterals)
{
	Data oldData = RandomBytes(100000, 2);
	Data newData = RandomBytes(80000, 3);
	Data patch = RoundTrip(oldData, newData);
	// Chance agreements of a few bytes never pay for a copy: the patch is
	// the new file and a few op bytes.
	EXPECT_LE(patch.size(), newData.size() + 21 + 3 * 2);
}


TEST_F(PatchMakerTest, RandomEditsMakeASmallPatch)
{
	Data oldData = Words(200000, 4);
	Data newData = oldData;
	std::mt19937 random(5);
	for (int edit = 0; edit < 50; edit++) {
		size_t at = random() % newData.size();
		switch (edit % 3) {
			case 0:
				newData[at] ^= 0x55;
				break;
			case 1: {
				Data inserted = RandomBytes(1 + random() % 40, edit);
				newData.insert(newData.begin() + at, inserted.begin(), inserted.end());
				break;
			}
			default:
				newData.erase(newData.begin() + at,
					newData.begin() + std::min(newData.size(), at + 1 + random() % 300));
				break;
		}
	}
	Data patch = RoundTrip(oldData, newData);
	// 50 edits of at most 40 new bytes each, and the copies between them.
	EXPECT_LT(patch.size(), 3000u);
}


TEST_F(PatchMakerTest, LargeFilesUseEveryInstructionForm)
{
	// The patch maker and applier run on one thread: ThreadSanitizer has
	// nothing to look at here, and the case takes it minutes.
	if (built_with_thread_sanitizer())
		GTEST_SKIP() << "one thread: nothing for ThreadSanitizer to check";
	// Over 16 MiB of old file, so that offsets take 2, 3 and 4 bytes, and
	// copies and literal runs of short, medium and long lengths.
	const size_t kOldSize = (16 << 20) + (1 << 20);
	Data oldData = RandomBytes(kOldSize, 6);
	Data newData;
	uint32 seed = 100;
	auto literal = [&](size_t length) {
		Data bytes = RandomBytes(length, seed++);
		newData.insert(newData.end(), bytes.begin(), bytes.end());
	};
	auto copy = [&](size_t offset, size_t length) {
		newData.insert(newData.end(), oldData.begin() + offset,
			oldData.begin() + offset + length);
		literal(3);
	};
	for (size_t offset : {(size_t)1000, (size_t)70000, (size_t)(16 << 20) + 5000}) {
		copy(offset, 12);
		copy(offset + 20000, 3000);
		copy(offset + 40000, 200000);
	}
	literal(2000);
	copy(500, 5000);
	literal(300000);
	copy(700, 5000);

	Data patch = RoundTrip(oldData, newData);
	for (int tag = 0; tag <= 11; tag++)
		EXPECT_EQ(fTags.count(tag), 1u) << "tag " << tag;
	// The copies cost a few bytes each; what remains is the literals.
	EXPECT_LT(patch.size(), 11 * (3 + 7) + 2000 + 300000 + 200);
}


TEST_F(PatchMakerTest, MovedBlocksAndTheEncodersForms)
{
	// Blocks of the old file in another order are found wherever they are.
	Data oldData = Words(60000, 7);
	Data newData;
	for (size_t block : {5, 2, 0, 4, 1, 3})
		newData.insert(newData.end(), oldData.begin() + block * 10000,
			oldData.begin() + (block + 1) * 10000);
	Data patch = RoundTrip(oldData, newData);
	EXPECT_LT(patch.size(), 100u);

	// The boundaries between the length forms.
	PatchEncoder encoder;
	Data bytes(1052688 + 1, 'x');
	for (size_t length : {16, 17, 4112, 4113, 1052688, 1052689}) {
		PatchEncoder one;
		one.AddLiteral(bytes.data(), length);
		std::vector<instruction> steps = Decode(one.Finish());
		ASSERT_FALSE(steps.empty());
		EXPECT_EQ(steps[0].length, std::min<size_t>(length, 1052688)) << length;
		EXPECT_EQ(steps[0].tag, length <= 16 ? 0 : length <= 4112 ? 1 : 2) << length;
		EXPECT_EQ(steps.size(), length > 1052688 ? 2u : 1u) << length;
	}
	for (uint32 offset : {0xffffu, 0x10000u, 0xffffffu, 0x1000000u}) {
		PatchEncoder one;
		one.AddCopy(offset, 1);
		std::vector<instruction> steps = Decode(one.Finish());
		ASSERT_EQ(steps.size(), 1u);
		EXPECT_EQ(steps[0].offset, offset);
		EXPECT_EQ(steps[0].tag, offset < 0x10000 ? 3 : offset < 0x1000000 ? 6 : 9);
	}
}


TEST_F(PatchMakerTest, DiffCommand)
{
	ScratchDir folder;
	Data oldData = Words(30000, 8);
	Data newData = oldData;
	newData.insert(newData.begin() + 15000, {1, 2, 3});
	write_text(folder / "old", std::string(oldData.begin(), oldData.end()));
	write_text(folder / "new", std::string(newData.begin(), newData.end()));

	program_result result = run_tool("diff " + folder / "old" + " " + folder / "new" + " -o "
		+ folder / "patch");
	ASSERT_EQ(result.status, 0) << result.output;
	std::string patchText = read_text(folder / "patch");
	Data patch(patchText.begin(), patchText.end());
	std::vector<instruction> steps = Decode(patch);
	ASSERT_EQ(steps.size(), 3u);
	EXPECT_EQ(steps[0].length, 15000u);
	EXPECT_EQ(steps[1].tag, 0);
	EXPECT_EQ(steps[2].offset, 15000u);

	// Usage errors and files that are not there.
	EXPECT_EQ(run_tool("diff " + folder / "old").status, 2);
	result = run_tool("diff " + folder / "old" + " " + folder / "missing" + " -o "
		+ folder / "patch2");
	EXPECT_EQ(result.status, 1);
	EXPECT_NE(result.output.find("missing"), std::string::npos) << result.output;
	EXPECT_FALSE(std::filesystem::exists(folder / "patch2"));
}


TEST_F(PatchMakerTest, ManifestPatchMadeFromTwoFiles)
{
	ScratchDir folder;
	Data oldData = Words(40000, 9);
	Data newData = oldData;
	newData.erase(newData.begin() + 1000, newData.begin() + 1100);
	newData.insert(newData.end(), {'e', 'n', 'd'});
	write_text(folder / "src/bin/readme", "read me");
	write_text(folder / "v1/tool", std::string(oldData.begin(), oldData.end()));
	write_text(folder / "v2/tool", std::string(newData.begin(), newData.end()));
	chmod((folder / "v2/tool").c_str(), 0755);
	write_text(folder / "pkg.json", R"({"name": "Tool", "source": "src", "patches": [
		{"old": "v1/tool", "new": "v2/tool", "folder": "bin"}]})");

	std::string package = folder / "tool.pkg";
	std::string message;
	ASSERT_EQ(build_package((folder / "pkg.json").c_str(), nullptr, package.c_str(), &message),
		B_OK) << message;
	PackageVerifier verifier;
	ASSERT_EQ(verifier.VerifyPath(package.c_str()), B_OK) << verifier.Reason();

	// The catalog's patch record: the new file's name, sizes and mode.
	PackageLister lister;
	ASSERT_EQ(lister.Read(package.c_str()), B_OK) << lister.ErrorMessage();
	const nlohmann::ordered_json* patch = nullptr;
	for (const auto& top : lister.Description()["catalog"]["items"]) {
		if (!top.contains("items"))
			continue;
		for (const auto& item : top["items"]) {
			if (item["kind"] == "patch")
				patch = &item;
		}
	}
	ASSERT_NE(patch, nullptr) << lister.Json();
	EXPECT_EQ((*patch)["name"], "tool");
	EXPECT_EQ((*patch)["old size"], (int64)oldData.size());
	EXPECT_EQ((*patch)["size"], (int64)newData.size());
	EXPECT_EQ((*patch)["mode"], "0755");

	// Its stored data is patch data that rebuilds the new file.
	std::string out = folder / "out";
	PackageExtractor extractor;
	ASSERT_EQ(extractor.ExtractToHostFolder(package.c_str(), out.c_str()), B_OK);
	std::string data = read_text(out + "/src/bin/tool");
	ASSERT_GT(data.size(), 20u);
	EXPECT_LT(data.size(), 200u);
	// The extractor chose a system root of its own.
	ASSERT_EQ(set_system_root(fRoot.HostPath().c_str()), B_OK);
	fRoot.WriteFile("boot/old", std::string(oldData.begin(), oldData.end()));
	fRoot.WriteFile("boot/patch", data);
	fRoot.WriteFile("boot/new", "");
	ArchivePatchItem item;
	EXPECT_EQ(item.ApplyPatch("/boot/old", "/boot/new", "/boot/patch", 0), 0);
	EXPECT_TRUE(fRoot.ReadFile("boot/new") == std::string(newData.begin(), newData.end()));

	// Either given data or two files, and no sizes for made patches.
	struct { const char* patches; const char* expected; } bad[] = {
		{R"([{"old": "v1/tool"}])", "patches[0].new: missing"},
		{R"([{"old": "v1/tool", "new": "v2/none"}])", "patches[0].new: \""},
		{R"([{"source": "v1/tool", "old": "v1/tool", "new": "v2/tool"}])",
			"patches[0]: give either"},
		{R"([{"old": "v1/tool", "new": "v2/tool", "size": 5}])", "patches[0]: the sizes"},
	};
	for (const auto& manifest : bad) {
		write_text(folder / "bad.json", std::string(R"({"name": "x", "source": "src", )")
			+ R"("patches": )" + manifest.patches + "}");
		program_result result = run_tool("build " + folder / "bad.json" + " -o "
			+ folder / "bad.pkg");
		EXPECT_EQ(result.status, 1) << manifest.patches;
		EXPECT_NE(result.output.find(manifest.expected), std::string::npos)
			<< result.output;
		EXPECT_FALSE(std::filesystem::exists(folder / "bad.pkg"));
	}
}


TEST_F(PatchMakerTest, MovedCodeWithChangedAddressesResumesAtTheSameShift)
{
	// Code moved by an insertion, with 3 bytes of every 40 changed (as the
	// addresses in moved code change): each copy resumes at the shift of
	// the last one after the changed bytes, however short the match.
	Data oldData = RandomBytes(200000, 10);
	Data newData = RandomBytes(100, 11);
	size_t changed = 0;
	for (size_t at = 0; at < oldData.size(); at++) {
		uint8 byte = oldData[at];
		if (at % 40 >= 20 && at % 40 < 23) {
			byte ^= 0x5a;
			changed++;
		}
		newData.push_back(byte);
	}
	PatchMaker maker;
	Data patch = RoundTrip(oldData, newData);
	maker.Make(oldData.data(), oldData.size(), newData.data(), newData.size());
	EXPECT_EQ(maker.LiteralBytes(), 100 + changed);
	EXPECT_EQ(maker.CountCopies(), (int32)(oldData.size() / 40 + 1));
}


TEST_F(PatchMakerTest, RepeatsAndMatchesThatGiveWay)
{
	// Long runs of one byte and of a short pattern: every position of the
	// old file is a candidate, and copies stay few.
	Data oldData(300000, 0);
	for (size_t at = 100000; at < 200000; at++)
		oldData[at] = "abcdefg"[at % 7];
	Data newData(oldData.begin() + 150000, oldData.end());
	newData.insert(newData.end(), oldData.begin(), oldData.begin() + 150000);
	Data patch = RoundTrip(oldData, newData);
	EXPECT_LT(Decode(patch).size(), 8u);

	// new = P Q R where the old file has P Q and, elsewhere, Q R: the first
	// copy ends inside its match so that the second covers R.
	Data p = RandomBytes(3000, 12), q = RandomBytes(3000, 13), r = RandomBytes(3000, 14);
	Data old2 = p;
	old2.insert(old2.end(), q.begin(), q.end());
	Data filler = RandomBytes(5000, 15);
	old2.insert(old2.end(), filler.begin(), filler.end());
	old2.insert(old2.end(), q.begin(), q.end());
	old2.insert(old2.end(), r.begin(), r.end());
	Data new2 = p;
	new2.insert(new2.end(), q.begin(), q.end());
	new2.insert(new2.end(), r.begin(), r.end());
	std::vector<instruction> steps = Decode(RoundTrip(old2, new2));
	EXPECT_EQ(steps.size(), 2u);
	for (const instruction& step : steps)
		EXPECT_GE(step.tag, 3) << "no literals";

	// Files shorter than the index's keys.
	RoundTrip({1, 2, 3}, {3, 2, 1, 2, 3});
	RoundTrip({7}, {7});
}


TEST_F(PatchMakerTest, NewFileOver16MiBWithEdits)
{
	// The patch maker and applier run on one thread: ThreadSanitizer has
	// nothing to look at here, and the case takes it minutes.
	if (built_with_thread_sanitizer())
		GTEST_SKIP() << "one thread: nothing for ThreadSanitizer to check";
	// Both files past the 3-byte offsets; edits everywhere, and a block of
	// the start moved to the end.
	const size_t kSize = (16 << 20) + 300000;
	Data oldData = Words(kSize, 16);
	Data newData(oldData.begin() + 65536, oldData.end());
	newData.insert(newData.end(), oldData.begin(), oldData.begin() + 65536);
	std::mt19937 random(17);
	for (int edit = 0; edit < 200; edit++)
		newData[random() % newData.size()] ^= 0x20;
	Data patch = RoundTrip(oldData, newData);
	EXPECT_TRUE(fTags.count(9) + fTags.count(10) + fTags.count(11) > 0)
		<< "copies from past 16 MiB";
	// About 200 edits of a byte and the copies around them.
	EXPECT_LT(patch.size(), 200u * 12 + 100);
}


TEST_F(PatchMakerTest, LiteralsRepeatingWithinDeflatesWindowCostLess)
{
	// Random bytes where a block comes back 4000 bytes later, another 40000
	// bytes later (past deflate's window), and the file ends with a repeat.
	Data newData = RandomBytes(100000, 20);
	std::copy(newData.begin() + 1000, newData.begin() + 1100, newData.begin() + 5000);
	std::copy(newData.begin() + 20000, newData.begin() + 20100, newData.begin() + 60000);
	std::copy(newData.begin() + 90000, newData.begin() + 90100, newData.end() - 100);
	PatchCostModel costs(newData.data(), newData.size());
	EXPECT_LT(costs.LiteralCost(5000), costs.LiteralCost(1000));
	EXPECT_LT(costs.LiteralCost(5099), costs.LiteralCost(1099));
	// The byte after the repeat costs what the same value costs elsewhere.
	size_t same = 0;
	while (newData[same] != newData[5100] || same == 5100)
		same++;
	EXPECT_EQ(costs.LiteralCost(5100), costs.LiteralCost(same));
	EXPECT_EQ(costs.LiteralCost(60050), costs.LiteralCost(20050)) << "too far back";
	EXPECT_LT(costs.LiteralCost(newData.size() - 1), costs.LiteralCost(90099))
		<< "a repeat up to the last byte";

	// Files shorter than a repeat's key.
	Data tiny = {5, 5, 5};
	PatchCostModel tinyCosts(tiny.data(), tiny.size());
	EXPECT_EQ(tinyCosts.LiteralCost(2), tinyCosts.LiteralCost(0));

	// A block that is not in the old file, twice in the new one: the patch
	// rebuilds it, and deflate pays for it about once.
	Data oldData = Words(60000, 21);
	Data block = RandomBytes(3000, 22);
	Data newWithBlock(oldData.begin(), oldData.begin() + 20000);
	newWithBlock.insert(newWithBlock.end(), block.begin(), block.end());
	newWithBlock.insert(newWithBlock.end(), oldData.begin() + 20000, oldData.begin() + 30000);
	newWithBlock.insert(newWithBlock.end(), block.begin(), block.end());
	newWithBlock.insert(newWithBlock.end(), oldData.begin() + 30000, oldData.end());
	Data patch = RoundTrip(oldData, newWithBlock);
	uLongf deflatedSize = compressBound(patch.size());
	Data deflated(deflatedSize);
	ASSERT_EQ(compress2(deflated.data(), &deflatedSize, patch.data(), patch.size(), 9), Z_OK);
	EXPECT_LT(deflatedSize, block.size() + 300);
}


TEST_F(PatchMakerTest, TheCountsDescribeThePatchKept)
{
	// Small files are parsed twice. Code of one pattern moved by an
	// insertion, each block with its own constant and addresses that moved:
	// the dearer copies' parse deflates smaller. Text with a letter changed
	// every few dozen bytes: the first parse does. Either way the counts are
	// those of the patch returned, and the same files make the same patch.
	Data pattern = RandomBytes(60, 30);
	auto program = [&](bool inserted) {
		Data code;
		std::mt19937 random(31);
		for (uint32 block = 0; block < 600; block++) {
			if (inserted && block == 300) {
				Data extra = RandomBytes(96, 32);
				code.insert(code.end(), extra.begin(), extra.end());
			}
			// A constant of its own, and two addresses a few bytes apart,
			// whose low bytes change past the insertion.
			Data bytes = pattern;
			uint32 constant = (uint32)random();
			uint16 moved = inserted && block >= 300 ? 96 : 0;
			uint16 address = (uint16)(block * 40 + moved);
			uint8 call = (uint8)(block * 3 - moved);
			memcpy(bytes.data() + 10, &constant, 4);
			memcpy(bytes.data() + 40, &address, 2);
			bytes[47] = call;
			code.insert(code.end(), bytes.begin(), bytes.end());
		}
		return code;
	};
	Data words = Words(100000, 33);
	Data editedWords = words;
	std::mt19937 random(34);
	for (size_t at = 0; at < editedWords.size(); at += 8 + random() % 40)
		editedWords[at] ^= 0x20;

	for (const auto& pair : {std::make_pair(program(false), program(true)),
			std::make_pair(words, editedWords)}) {
		PatchMaker maker;
		Data patch = RoundTrip(pair.first, pair.second);
		Data again = maker.Make(pair.first.data(), pair.first.size(), pair.second.data(),
			pair.second.size());
		EXPECT_TRUE(again == patch) << "the same files make the same patch";
		size_t literalBytes = 0, copiedBytes = 0;
		int32 copies = 0;
		for (const instruction& step : Decode(patch)) {
			if (step.tag < 3)
				literalBytes += step.length;
			else {
				copiedBytes += step.length;
				copies++;
			}
		}
		EXPECT_EQ(maker.LiteralBytes(), literalBytes);
		EXPECT_EQ(maker.CopiedBytes(), copiedBytes);
		EXPECT_EQ(maker.CountCopies(), copies);
	}
}
