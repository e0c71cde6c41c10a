// Rebuilding a file from an original and patch data: every instruction
// form, the end of the data, and the checks of the original and the new
// file with their alerts (answered by the program's alert answerer; their
// texts are read on standard error).

#include "TempRoot.h"

#include "ArchivePatchItem.h"

#include <zlib.h>

#include <string>

namespace {

std::string
BigEndian(uint32 value, int bytes = 4)
{
	std::string out;
	for (int i = bytes - 1; i >= 0; i--)
		out += (char)(value >> (8 * i));
	return out;
}


uint32
Crc(const std::string& data)
{
	return (uint32)crc32(0, reinterpret_cast<const Bytef*>(data.data()), (uInt)data.size());
}


// Patch data: a header and instruction bytes written out by hand.
std::string
PatchData(uint32 oldSize, uint32 oldCrc, uint32 newSize, uint32 newCrc,
	const std::string& instructions, const char* magic = "QVpt")
{
	return std::string(magic, 4) + BigEndian(oldSize) + BigEndian(oldCrc)
		+ BigEndian(newSize) + BigEndian(newCrc) + instructions;
}


// An original whose bytes all differ from their neighbours' and whose
// offsets can be told apart.
std::string
Original(size_t size)
{
	std::string data(size, '\0');
	for (size_t i = 0; i < size; i++)
		data[i] = (char)((i * 7 + i / 251) % 251);
	return data;
}


std::string
Op(uint8 op)
{
	return std::string(1, (char)op);
}


class PatchApplyTest : public TempRootTest {
protected:
	// Writes the original and the patch data, applies them into /boot/new.
	int32 Apply(const std::string& original, const std::string& patch)
	{
		fRoot.WriteFile("boot/original", original);
		fRoot.WriteFile("boot/patch", patch);
		fRoot.WriteFile("boot/new", "");
		ArchivePatchItem item;
		testing::internal::CaptureStderr();
		int32 result = item.ApplyPatch("/boot/original", "/boot/new", "/boot/patch", 0);
		fAlerts = testing::internal::GetCapturedStderr();
		return result;
	}

	// A patch with true sizes and checksums for these files.
	std::string TruePatch(const std::string& original, const std::string& result,
		const std::string& instructions)
	{
		return PatchData((uint32)original.size(), Crc(original), (uint32)result.size(),
			Crc(result), instructions);
	}

	std::string NewFile() const { return fRoot.ReadFile("boot/new"); }
	bool Alerted(const char* text) const { return fAlerts.find(text) != std::string::npos; }

	std::string fAlerts;
};

const char* const kOriginalSizeWarning = "Warning, original file size does not match. "
	"Original file is not the file from which the patch was created. Use patched file "
	"with caution.";
const char* const kOriginalCrcWarning
	= "Orginal file checksum does not match. Use patched file with caution.";
const char* const kNewSizeFailure
	= "Patched file size does not match the original. Patch could not be completed.";
const char* const kNewCrcFailure
	= "Patched file checksum does not match. Patch could not be completed.";

} // namespace


TEST_F(PatchApplyTest, LiteralsInEveryLengthForm)
{
	// 0x00: 1 byte; 0xF0: 16; 0x01 0x00: 17; 0xF1 0xFF: 4112;
	// 0x02 0x00 0x00: 4113; 0xF2 0xFF 0xFF: 1052688, the longest.
	struct { std::string op; size_t length; char fill; } runs[] = {
		{Op(0x00), 1, 'a'}, {Op(0xF0), 16, 'b'}, {Op(0x01) + Op(0x00), 17, 'c'},
		{Op(0xF1) + Op(0xFF), 4112, 'd'}, {Op(0x02) + Op(0x00) + Op(0x00), 4113, 'e'},
		{Op(0xF2) + Op(0xFF) + Op(0xFF), 1052688, 'f'}, {Op(0x30), 4, 'g'},
	};
	std::string instructions, expected;
	for (const auto& run : runs) {
		instructions += run.op + std::string(run.length, run.fill);
		expected += std::string(run.length, run.fill);
	}
	std::string original = Original(100);
	EXPECT_EQ(Apply(original, TruePatch(original, expected, instructions + Op(0x0F))), 0);
	EXPECT_EQ(fAlerts, "");
	EXPECT_TRUE(NewFile() == expected) << NewFile().size() << " bytes";
}


TEST_F(PatchApplyTest, CopiesInEveryLengthAndOffsetForm)
{
	std::string original = Original(80000);
	struct { std::string op; uint32 offset; size_t length; } copies[] = {
		// 0x03 0x01 0x00: one byte from offset 256.
		{Op(0x03) + BigEndian(256, 2), 256, 1},
		{Op(0x04) + Op(0x00) + BigEndian(0x1000, 2), 0x1000, 17},
		{Op(0x05) + Op(0x00) + Op(0x00) + BigEndian(0x10, 2), 0x10, 4113},
		{Op(0x36) + BigEndian(0x010000, 3), 0x010000, 4},
		{Op(0x17) + Op(0x10) + BigEndian(0x000100, 3), 0x100, 289},
		{Op(0x08) + Op(0x00) + Op(0x01) + BigEndian(0x001000, 3), 0x1000, 4114},
		// 0x19 and four offset bytes: two bytes from a 32-bit offset.
		{Op(0x19) + BigEndian(0x00010005), 0x00010005, 2},
		{Op(0x0A) + Op(0x05) + BigEndian(7), 7, 22},
		{Op(0x1B) + Op(0x00) + Op(0x00) + BigEndian(0x1111), 0x1111, 65536 + 4113},
		// Offsets go back as well as forward.
		{Op(0xF3) + BigEndian(0, 2), 0, 16},
	};
	std::string instructions, expected;
	for (const auto& copy : copies) {
		instructions += copy.op;
		expected += original.substr(copy.offset, copy.length);
	}
	EXPECT_EQ(Apply(original, TruePatch(original, expected, instructions + Op(0x0F))), 0);
	EXPECT_EQ(fAlerts, "");
	EXPECT_TRUE(NewFile() == expected) << NewFile().size() << " bytes";
}


TEST_F(PatchApplyTest, TheEndOfTheInstructions)
{
	std::string original = Original(300);
	// Only the end op, a new size and checksum of 0: an empty new file.
	fRoot.WriteFile("boot/new", "left from before");
	EXPECT_EQ(Apply(original, PatchData(300, Crc(original), 0, 0, Op(0x0F))), 0);
	EXPECT_EQ(fAlerts, "");
	EXPECT_EQ(NewFile(), "");

	// The data may simply end, without the end op.
	EXPECT_EQ(Apply(original, TruePatch(original, "xyz", Op(0x20) + "xyz")), 0);
	EXPECT_EQ(NewFile(), "xyz");

	// Whatever follows the end op is not read.
	EXPECT_EQ(Apply(original, TruePatch(original, "xy", Op(0x10) + "xy" + Op(0x0F)
		+ Op(0x00) + "z")), 0);
	EXPECT_EQ(NewFile(), "xy");

	// An unknown tag ends the stream; the checks decide. Here what came
	// before it is the whole new file.
	for (uint8 tag : {0x0C, 0x0D, 0x3E}) {
		EXPECT_EQ(Apply(original, TruePatch(original, "ab", Op(0x10) + "ab" + Op(tag)
			+ Op(0x00) + "c")), 0);
		EXPECT_TRUE(Alerted("Error, unknown tag in patch data.")) << fAlerts;
		EXPECT_EQ(NewFile(), "ab");
	}

	// The data ends inside a literal run, a length and an offset: the new
	// file falls short.
	for (const std::string& cut : {Op(0xF0) + "short", Op(0x01), Op(0x06) + Op(0x01)}) {
		EXPECT_EQ(Apply(original, PatchData(300, Crc(original), 16, Crc(std::string(16,
			's')), cut)), -1);
		EXPECT_TRUE(Alerted(kNewSizeFailure)) << fAlerts;
	}
}


TEST_F(PatchApplyTest, TheOriginalOnlyWarnsTheNewFileDecides)
{
	std::string original = Original(1000);
	std::string result = original.substr(10, 100) + "new";
	std::string instructions = Op(0x04) + Op(0x53) + BigEndian(10, 2) + Op(0x20) + "new";
	ASSERT_EQ(Apply(original, TruePatch(original, result, instructions)), 0);
	ASSERT_EQ(NewFile(), result);

	// Another size: the size warning only, and the new file still checks
	// out.
	EXPECT_EQ(Apply(original, PatchData(999, Crc(original), (uint32)result.size(),
		Crc(result), instructions)), 0);
	EXPECT_TRUE(Alerted(kOriginalSizeWarning)) << fAlerts;
	EXPECT_FALSE(Alerted(kOriginalCrcWarning)) << fAlerts;
	EXPECT_EQ(NewFile(), result);

	// The same size with other contents: the checksum warning.
	std::string changed = original;
	changed[500] ^= 1;
	EXPECT_EQ(Apply(changed, TruePatch(original, result, instructions)), 0);
	EXPECT_FALSE(Alerted(kOriginalSizeWarning)) << fAlerts;
	EXPECT_TRUE(Alerted(kOriginalCrcWarning)) << fAlerts;
	EXPECT_EQ(NewFile(), result);

	// A changed byte that the patch copies: the new file's checksum fails.
	changed = original;
	changed[50] ^= 1;
	EXPECT_EQ(Apply(changed, TruePatch(original, result, instructions)), -1);
	EXPECT_TRUE(Alerted(kOriginalCrcWarning)) << fAlerts;
	EXPECT_TRUE(Alerted(kNewCrcFailure)) << fAlerts;

	// A wrong new size in the header; a wrong new checksum.
	EXPECT_EQ(Apply(original, PatchData(1000, Crc(original), (uint32)result.size() + 1,
		Crc(result), instructions)), -1);
	EXPECT_TRUE(Alerted(kNewSizeFailure)) << fAlerts;
	EXPECT_FALSE(Alerted(kNewCrcFailure)) << fAlerts;
	EXPECT_EQ(Apply(original, PatchData(1000, Crc(original), (uint32)result.size(),
		Crc(result) + 1, instructions)), -1);
	EXPECT_FALSE(Alerted(kNewSizeFailure)) << fAlerts;
	EXPECT_TRUE(Alerted(kNewCrcFailure)) << fAlerts;
}


TEST_F(PatchApplyTest, FilesThatCannotBeUsed)
{
	std::string original = Original(10);
	EXPECT_EQ(Apply(original, PatchData(10, Crc(original), 0, 0, Op(0x0F), "QVpx")), -1);
	EXPECT_TRUE(Alerted("Patch header is invalid. The patch cannot be applied.")) << fAlerts;
	// A header cut short is no header either.
	EXPECT_EQ(Apply(original, "QV"), -1);
	EXPECT_TRUE(Alerted("Patch header is invalid. The patch cannot be applied.")) << fAlerts;

	ArchivePatchItem item;
	fRoot.WriteFile("boot/patch", PatchData(10, Crc(original), 0, 0, Op(0x0F)));
	testing::internal::CaptureStderr();
	EXPECT_EQ(item.ApplyPatch("/boot/original", "/boot/new", "/boot/no-patch", 0), -1);
	EXPECT_EQ(item.ApplyPatch("/boot/no-original", "/boot/new", "/boot/patch", 0), -1);
	EXPECT_EQ(item.ApplyPatch("/boot/original", "/boot/no/such/folder/new", "/boot/patch",
		0), -1);
	fAlerts = testing::internal::GetCapturedStderr();
	EXPECT_TRUE(Alerted("Error opening patch data.")) << fAlerts;
	EXPECT_TRUE(Alerted("Cannot open existing file. The patch cannot be applied."))
		<< fAlerts;
	EXPECT_TRUE(Alerted("Cannot open new file. The patch cannot be applied.")) << fAlerts;
	EXPECT_EQ(item.fCopyBuffer, nullptr) << "the buffer lives only as long as the call";

	// Paths are those of the system root, not of the host.
	testing::internal::CaptureStderr();
	EXPECT_EQ(item.ApplyPatch(fRoot.HostPath("boot/original").c_str(), "/boot/new",
		"/boot/patch", 0), -1);
	fAlerts = testing::internal::GetCapturedStderr();
	EXPECT_TRUE(Alerted("Cannot open existing file.")) << fAlerts;
}


TEST_F(PatchApplyTest, SmallHelpers)
{
	fRoot.WriteFile("boot/numbers", std::string("\x01\x02\x03\x04\xff\xfe\x7f", 7));
	FILE* file = fopen(fRoot.HostPath("boot/numbers").c_str(), "rb");
	ASSERT_NE(file, nullptr);
	ArchivePatchItem item;
	EXPECT_EQ(item.ReadLongNBytes(file, 1), 0x01);
	EXPECT_EQ(item.FileSize(file), 7);
	EXPECT_EQ(ftell(file), 1) << "the position stays";
	EXPECT_EQ(item.ReadLongNBytes(file, 3), 0x020304);
	EXPECT_EQ((uint32)item.ReadLongNBytes(file, 2), 0xfffeu);
	// At the end: what was read so far.
	EXPECT_EQ(item.ReadLongNBytes(file, 4), 0x7f);
	EXPECT_EQ(item.ReadLongNBytes(file, 2), 0);
	fclose(file);
}
