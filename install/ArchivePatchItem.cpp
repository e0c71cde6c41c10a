#include "ArchivePatchItem.h"

#include "CreatePath.h"
#include "DestManager.h"
#include "DoError.h"
#include "ExistingItems.h"
#include "InstallLogText.h"
#include "InstallPack.h"
#include "ItemHelpers.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Message.h>
#include <Path.h>
#include <PlatformCalls.h>
#include <StorageDefs.h>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const int32 kCopyBufferSize = 4096;
// Progress is reported about every this many bytes of patch data.
const int32 kProgressStep = 4096;

const char* const kNoTemporaryFile = "Could not create temporary patch file.";
const char* const kDecompressFailed
	= "Encountered error when decompressing patch for \"%s\".";
const char* const kNoCopyBuffer = "Could not allocate copy buffer.";
const char* const kNoPatchData = "Error opening patch data.";
const char* const kBadHeader = "Patch header is invalid. The patch cannot be applied.";
const char* const kNoOriginal = "Cannot open existing file. The patch cannot be applied.";
const char* const kNoNewFile = "Cannot open new file. The patch cannot be applied.";
const char* const kTooLarge = "The existing file is 4 GiB or larger: its size does not "
	"fit the patch data. The patch cannot be applied.";
const char* const kUnknownTag = "Error, unknown tag in patch data.";
const char* const kOriginalSizeDiffers = "Warning, original file size does not match. "
	"Original file is not the file from which the patch was created. Use patched file "
	"with caution.";
const char* const kOriginalCrcDiffers
	= "Orginal file checksum does not match. Use patched file with caution.";
const char* const kNewSizeDiffers
	= "Patched file size does not match the original. Patch could not be completed.";
const char* const kNewCrcDiffers
	= "Patched file checksum does not match. Patch could not be completed.";
const char* const kRenameFailed = "Error renaming newly patched file.";

// Numbers the temporary files of every patch of the process.
int32 sTemporaryCounter = 0;

struct FileCloser {
	void operator()(FILE* file) const { fclose(file); }
};
typedef std::unique_ptr<FILE, FileCloser> StdioFile;


// The name of a temporary file with a patch's number: "tmpatch_00".
std::string
TemporaryName(const char* prefix, int32 number)
{
	char name[B_FILE_NAME_LENGTH];
	snprintf(name, sizeof(name), "%s_0%d", prefix, (int)number);
	return name;
}


void
SendStatus(InstallPack* pack, BMessage* message)
{
	if (pack != nullptr)
		pack->fStatusMessenger.SendMessage(message, (BHandler*)nullptr, B_INFINITE_TIMEOUT);
}


void
SendProgress(InstallPack* pack, int64 bytes)
{
	RunEvents::BytesDone(bytes);
	BMessage progress('Uprg');
	progress.AddInt32("bytes", (int32)std::clamp<int64>(bytes, INT32_MIN, INT32_MAX));
	SendStatus(pack, &progress);
}


// The CRC-32 of a whole file read from its start, which is where the file
// is left.
uint32
FileCrc(FILE* file, int64 size, char* buffer)
{
	uLong crc = crc32(0L, Z_NULL, 0);
	while (size > 0) {
		size_t piece = (size_t)std::min<int64>(size, kCopyBufferSize);
		size_t got = fread(buffer, 1, piece, file);
		crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), (uInt)got);
		size -= (int64)got;
		if (got < piece)
			break;
	}
	fseeko(file, 0, SEEK_SET);
	return (uint32)crc;
}


void
WriteLog(BFile* log, const std::string& text)
{
	log->Write(text.data(), text.size());
}

} // namespace


ArchivePatchItem::ArchivePatchItem()
	:
	fOldSize(0),
	fOriginalRef(-1, -1, nullptr),
	fProgressFactor(0),
	fPack(nullptr),
	fCopyBuffer(nullptr),
	fReported(0)
{
}


ArchivePatchItem::ArchivePatchItem(const ArchivePatchItem& other)
	:
	ArchiveFileItem(other),
	fOldSize(other.fOldSize),
	fOriginalRef(other.fOriginalRef),
	fProgressFactor(0),
	fPack(nullptr),
	fCopyBuffer(nullptr),
	fReported(0)
{
}


ArchivePatchItem::~ArchivePatchItem()
{
	free(fCopyBuffer);
}


int32
ArchivePatchItem::TemporaryCounter()
{
	return sTemporaryCounter;
}


void
ArchivePatchItem::SetTemporaryCounter(int32 counter)
{
	sTemporaryCounter = counter;
}


bool
ArchivePatchItem::HasOriginal() const
{
	return fOriginalRef.device != (dev_t)-1 && fOriginalRef.directory != (ino_t)-1
		&& fOriginalRef.name != nullptr;
}


status_t
ArchivePatchItem::ExtractItem(InstallPack* pack, BDirectory*, DestManager* manager,
	uint32 groups, bool skip)
{
	// The install worker has tested the platform already, and taken a
	// patch without an original out of the run's totals.
	if ((fGroups & groups) == 0 || !HasOriginal())
		return 0;
	if (skip) {
		SendProgress(pack, manager->AllocSize(fSize));
		return 0;
	}

	std::string patchName = TemporaryName("tmpatch", sTemporaryCounter++);
	BFile patchFile;
	if (manager->fTempDir.CreateFile(patchName.c_str(), &patchFile, false) != B_OK) {
		manager->NoteFailure(fName, kNoTemporaryFile);
		return _Refuse(kNoTemporaryFile);
	}
	BEntry patchEntry(&manager->fTempDir, patchName.c_str());

	BDirectory originalFolder;
	if (BEntry(&fOriginalRef).GetParent(&originalFolder) == B_OK)
		RunEvents::ItemStarted(manager, &originalFolder, fName, "patch");
	else
		RunEvents::ItemStarted(manager, nullptr, fName, "patch");
	BMessage current('CFln');
	current.AddString("mode", "Patching: ");
	current.AddString("filename", fName);
	SendStatus(pack, &current);

	status_t status = patchFile.SetTo(&patchEntry, B_READ_WRITE);
	if (status == B_OK)
		status = pack->ExtractFile(&patchFile, fOffset);
	if (status < 0) {
		patchFile.Unset();
		patchEntry.Remove();
		if (status != B_CANCELED) {
			std::string text = alert_text(kDecompressFailed, fName);
			manager->NoteFailure(fName, text);
			doError(text.c_str());
		}
		return status;
	}
	pack->ResetDecompress();
	int64 extra = manager->AllocExtra(fSize);
	if (extra != 0)
		SendProgress(pack, extra);

	// What the rebuilding reports: the new file's size less what the
	// extraction of the patch data has reported already.
	off_t patchSize = 0;
	patchFile.GetSize(&patchSize);
	patchFile.Unset();
	int32 budget = (int32)std::clamp<int64>(fSize - patchSize, 0, INT32_MAX);
	fReported = 0;

	BEntry original(&fOriginalRef);
	BDirectory directory;
	BPath originalPath, patchPath;
	original.GetParent(&directory);
	original.GetPath(&originalPath);
	patchEntry.GetPath(&patchPath);

	std::string newName = TemporaryName("patchedfile", sTemporaryCounter);
	BFile newFile;
	status = manager->NoteCreating(&directory, newName.c_str());
	if (status == B_OK)
		status = directory.CreateFile(newName.c_str(), &newFile, false);
	if (status != B_OK)
		_Refuse(kNoTemporaryFile);
	else {
		manager->NoteCreated(&directory, newName.c_str());
		newFile.Unset();
		BEntry newEntry(&directory, newName.c_str());
		BPath newPath;
		newEntry.GetPath(&newPath);
		fPack = pack;
		status = ApplyPatch(originalPath.Path(), newPath.Path(), patchPath.Path(), budget);
		if (status != 0)
			newEntry.Remove();
		else
			status = _PutInPlace(&original, &directory, &newEntry, manager,
				originalPath.Path());
	}
	patchEntry.Remove();
	// The run ends at a patch that could not be applied, naming the check
	// or step that failed.
	if (status < 0)
		manager->NoteFailure(fName, fRefusal);
	return status;
}


// The new file takes the item's name; an entry of that name (usually the
// original itself) is renamed to name.old first.
status_t
ArchivePatchItem::_PutInPlace(BEntry* original, BDirectory* directory, BEntry* newFile,
	DestManager* manager, const char* originalPath)
{
	// A name that is none (missing, or a path) is one the new file cannot
	// take: it would land elsewhere, or nowhere.
	if (!is_plain_entry_name(fName)) {
		doError(kRenameFailed);
		newFile->Remove();
		return 0;
	}
	status_t status = B_OK;
	BEntry existing;
	if (directory->FindEntry(fName, &existing) == B_OK) {
		entry_ref existingRef, originalRef;
		existing.GetRef(&existingRef);
		original->GetRef(&originalRef);
		// The original is followed under its new name.
		status = RenameExisting(directory, existingRef == originalRef ? original : &existing,
			".old", manager);
	}
	if (status == B_OK)
		status = manager->NoteCreating(directory, fName);
	if (status == B_OK)
		status = newFile->Rename(fName, false);
	if (status < 0) {
		doError(kRenameFailed);
		newFile->Remove();
		return 0;
	}
	manager->NoteCreated(directory, fName);

	if (manager->fDeleteOriginals)
		_DeleteOriginal(original, directory, manager);
	ISetType(newFile);
	manager->NoteComplete(directory, fName, originalPath);
	if (manager->fLogging) {
		BFile* log = manager->LogFile();
		char nameBuffer[B_FILE_NAME_LENGTH];
		WritePath(directory, log, nameBuffer);
		WriteLog(log, log_patch_text(fName, fSize, fMimeType));
		WriteLog(log, std::string(originalPath) + "\n");
	}
	return B_OK;
}


// The original goes where the run keeps what it displaces, so that a run
// that ends early puts it back; one on another volume than the run's
// temporary folder cannot go there and is removed at once.
void
ArchivePatchItem::_DeleteOriginal(BEntry* original, BDirectory* directory,
	DestManager* manager)
{
	node_ref node;
	if (original->GetNodeRef(&node) == B_OK && node.device == manager->fVolume)
		manager->SafeDelete(original, directory);
	else
		original->Remove();
}


int32
ArchivePatchItem::ApplyPatch(const char* originalPath, const char* newPath,
	const char* patchPath, int32 budget)
{
	free(fCopyBuffer);
	fCopyBuffer = static_cast<char*>(malloc(kCopyBufferSize));
	if (fCopyBuffer == nullptr) {
		return _Refuse(kNoCopyBuffer);
	}
	// The buffer lives as long as this call.
	struct BufferOwner {
		char*& buffer;
		~BufferOwner()
		{
			free(buffer);
			buffer = nullptr;
		}
	} bufferOwner{fCopyBuffer};

	StdioFile patch(platform_fopen(patchPath, "rb"));
	if (!patch) {
		return _Refuse(kNoPatchData);
	}
	uint32 header[5];
	for (uint32& field : header)
		field = (uint32)ReadLongNBytes(patch.get(), 4);
	if (header[0] != kPatchDataMagic) {
		return _Refuse(kBadHeader);
	}
	StdioFile original(platform_fopen(originalPath, "rb"));
	if (!original) {
		return _Refuse(kNoOriginal);
	}
	StdioFile output(platform_fopen(newPath, "wb"));
	if (!output) {
		return _Refuse(kNoNewFile);
	}

	int64 originalSize = FileSize(original.get());
	if (originalSize >= kPatchSizeLimit) {
		// Offsets and sizes of the patch data cannot reach past 4 GiB.
		return _Refuse(kTooLarge);
	}
	uint32 originalCrc = FileCrc(original.get(), originalSize, fCopyBuffer);

	int64 patchSize = FileSize(patch.get());
	fProgressFactor = patchSize > 0 ? (float)budget / (float)patchSize : 0;
	int32 consumed = 0;
	int32 lastReport = 0;
	int64 written = 0;
	uint32 newCrc = (uint32)crc32(0L, Z_NULL, 0);

	int op;
	while ((op = fgetc(patch.get())) != EOF) {
		consumed++;
		if (consumed - lastReport > kProgressStep) {
			AdjustProgressBar(consumed);
			lastReport = consumed;
		}
		int tag = op & 0x0f;
		if (tag == kPatchEndTag)
			break;
		if (tag > kPatchCopy4Tag + 2) {
			doError(kUnknownTag);
			break;
		}

		int32 high = op >> 4;
		int32 length;
		switch (tag % 3) {
			case 0:
				length = high + 1;
				break;
			case 1:
				length = high * 256 + ReadLongNBytes(patch.get(), 1) + 17;
				consumed += 1;
				break;
			default:
				length = high * 65536 + ReadLongNBytes(patch.get(), 2) + 4113;
				consumed += 2;
				break;
		}
		// The data may end inside an instruction.
		if (feof(patch.get()))
			break;

		if (tag < kPatchCopy2Tag) {
			written += CopyFileChars(length, patch.get(), output.get(), &newCrc);
			consumed += length;
			continue;
		}
		int offsetSize = tag < kPatchCopy3Tag ? 2 : tag < kPatchCopy4Tag ? 3 : 4;
		uint32 offset = (uint32)ReadLongNBytes(patch.get(), offsetSize);
		consumed += offsetSize;
		if (feof(patch.get()))
			break;
		if (fseeko(original.get(), (off_t)offset, SEEK_SET) == 0)
			written += CopyFileChars(length, original.get(), output.get(), &newCrc);
	}

	bool closed = fclose(output.release()) == 0;
	original.reset();
	AdjustProgressBar((int32)std::min<int64>(patchSize, INT32_MAX));
	if (!closed)
		written = -1;
	return _CheckResult(originalSize, originalCrc, written, newCrc, header);
}


// The original's checks only warn; the new file's decide.
int32
ArchivePatchItem::_CheckResult(int64 originalSize, uint32 originalCrc, int64 written,
	uint32 newCrc, const uint32 header[5])
{
	if ((int64)header[1] != originalSize)
		doError(kOriginalSizeDiffers);
	else if (header[2] != originalCrc)
		doError(kOriginalCrcDiffers);

	if ((int64)header[3] != written) {
		return _Refuse(kNewSizeDiffers);
	}
	if (header[4] != newCrc) {
		return _Refuse(kNewCrcDiffers);
	}
	return 0;
}


// Tells why the patch cannot be applied, and keeps it for the run's end.
int32
ArchivePatchItem::_Refuse(const char* text)
{
	fRefusal = text;
	doError(text);
	return -1;
}


int64
ArchivePatchItem::FileSize(FILE* file)
{
	off_t position = ftello(file);
	fseeko(file, 0, SEEK_END);
	off_t size = ftello(file);
	fseeko(file, position, SEEK_SET);
	return size;
}


int32
ArchivePatchItem::ReadLongNBytes(FILE* file, int n)
{
	uint32 value = 0;
	for (int i = 0; i < n; i++) {
		int byte = fgetc(file);
		if (byte == EOF)
			break;
		value = (value << 8) | (uint32)byte;
	}
	return (int32)value;
}


int32
ArchivePatchItem::CopyFileChars(int32 count, FILE* source, FILE* destination, uint32* crc)
{
	int32 copied = 0;
	while (copied < count) {
		size_t piece = (size_t)std::min(count - copied, kCopyBufferSize);
		size_t got = fread(fCopyBuffer, 1, piece, source);
		if (got == 0)
			break;
		size_t put = fwrite(fCopyBuffer, 1, got, destination);
		*crc = (uint32)crc32(*crc, reinterpret_cast<const Bytef*>(fCopyBuffer), (uInt)put);
		copied += (int32)put;
		if (put != got || got < piece)
			break;
	}
	return copied;
}


void
ArchivePatchItem::AdjustProgressBar(int32 consumed)
{
	// The factor is a float: for a budget near 2 GiB the product can round
	// past what an int32 holds.
	double product = (double)fProgressFactor * (double)consumed;
	int32 reached = (int32)std::clamp<double>(product, 0, INT32_MAX);
	if (reached < fReported)
		fReported = 0;
	SendProgress(fPack, reached - fReported);
	fReported = reached;
}
