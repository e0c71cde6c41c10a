#include "InstallPack.h"

#include "ArcCatalog.h"
#include "DoError.h"
#include "NodeDecoder.h"
#include "PackData.h"
#include "SPackData.h"

#include <ByteOrder.h>
#include <Entry.h>
#include <File.h>
#include <Resources.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

const uint8 kPHeader[8] = { 0x41, 0x6C, 0x42, 0x1A, 0xFF, 0x0A, 0x0D, 0x00 };
const uint16 SUPPORTED_VERSIONS[] = { 1, 2, kEndOfVersions };

namespace {

// Said of a file that is no package, and of a package damaged past its
// magic (its catalog cannot be read).
const char* const kInvalidPackage = "Invalid package file.";

// What each damaged byte of the magic says about the transfer that damaged
// it. Byte 7 has two diagnoses (see magic_message).
const char* const kMagicMessages[] = {
	kInvalidPackage,
	kInvalidPackage,
	kInvalidPackage,
	"The package file is corrupt (control character stripping)",
	"The package file is corrupt (high-bit strippping)",
	"The package file is corrupt (newline conversion)",
	"The package file is corrupt (carriage return converstion",
	"The package file is corrupt (null stripping)"
};

const char* const kNewlineInsertion
	= "The package file is corrupt (newline insertion)";

const char* const kNoTopFolderText = "Error, catalog read expected to find toplevel folder. "
	"The package cannot be installed.";

const char* const kTooDeepText = "The package's folders are nested more than %s levels "
	"deep. The package cannot be installed.";

const char* const kNewerFormat
	= "This package file contains a newer format than is supported by this "
	"version of Kestrovan.  Please upgrade to the latest version of "
	"Kestrovan and then try to install this package again.\n\n"
	"Updated versions of Kestrovan can be found where you obtained this "
	"package, or from the publisher of Kestrovan.";

// The first differing byte decides.
const char*
magic_message(const uint8 magic[8])
{
	for (int32 index = 0; index < 8; index++) {
		if (magic[index] == kPHeader[index])
			continue;
		if (index == 7 && magic[index] == 0x0A)
			return kNewlineInsertion;
		return kMagicMessages[index];
	}
	return NULL;
}

// A number record of the width the header wants.
status_t
read_header_number(PackData& reader, BPositionIO* io,
	const record_header& header, int16 count, int64* value)
{
	if (header.type != kNumberRecord || header.count != count)
		return B_BAD_DATA;
	if (count == 1) {
		int32 value32;
		status_t status = reader.ReadInt32(io, &value32);
		*value = value32;
		return status;
	}
	return reader.ReadInt64(io, value);
}

} // namespace


InstallPack::InstallPack(entry_ref& ref, bool selfExtracting)
	:
	fArchiveFlags(0),
	fDataOffset(0),
	fAttribOffset(0),
	fCatalogOffset(0),
	fPackageEnd(0),
	fCancel(false),
	fEntry(NULL),
	fFile(NULL),
	fPackData(NULL),
	fDecoder(NULL),
	fDecodeAhead(true)
{
	fEntry = new BEntry(&ref, false);
	if (fEntry->InitCheck() < B_OK) {
		doFatal("Could not find specified package file.", NULL);
		_GiveUp();
		return;
	}

	int64 packageStart = 0;
	if (selfExtracting && _ReadSizeResource(ref, &packageStart) < B_OK) {
		doFatal("Could not read the size resource.", NULL);
		_GiveUp();
		return;
	}
	fDataOffset = packageStart;

	// A file that cannot be opened fails to give its magic.
	SetFile();

	arcHeader header;
	if (VerifyMagic(fFile) != B_OK || ReadArcHeader(fFile, header) != B_OK
		|| _CheckSize(header) != B_OK || _CheckVersion(header) != B_OK) {
		_GiveUp();
		return;
	}

	fAttribOffset += fDataOffset;
	fCatalogOffset += fDataOffset;
	fPackageEnd = fDataOffset + header.archiveSize;
	if (_CheckCatalog() != B_OK) {
		_GiveUp();
		return;
	}
	ClearFile();
}


InstallPack::~InstallPack()
{
	_StopDecoder();
	delete fEntry;
	delete fFile;
	delete fPackData;
}


bool
InstallPack::SetFile()
{
	if (fPackData == NULL)
		fPackData = new SPackData(fStatusMessenger, &fCancel);
	else
		fPackData->SetProgressMessenger(fStatusMessenger);

	_StopDecoder();
	delete fFile;
	fFile = NULL;
	if (fEntry == NULL)
		return true;
	fFile = new BFile(fEntry, B_READ_ONLY);
	return fFile->InitCheck() != B_OK;
}


void
InstallPack::ClearFile()
{
	_StopDecoder();
	delete fFile;
	fFile = NULL;
}


status_t
InstallPack::ExtractFile(BNode* node, off_t offset, off_t contentSize, Sha256Digest* digest)
{
	if (fFile == NULL || fPackData == NULL)
		return B_NO_INIT;
	fPackData->SetContentDigest(digest);
	status_t status = _ExtractFile(node, offset, contentSize);
	fPackData->SetContentDigest(NULL);
	return status;
}


status_t
InstallPack::_ExtractFile(BNode* node, off_t offset, off_t contentSize)
{
	if (fDecodeAhead && fDecoder == NULL) {
		fDecoder = new NodeDecoder(*fFile);
		// Without a handle of its own it reads nothing: no decoding ahead.
		if (fDecoder->InitCheck() != B_OK)
			_StopDecoder();
	}
	off_t position = fDataOffset + offset;
	// Entries decoded ahead need no seek of the package (a system call per
	// file); what reads it here seeks first.
	if (fDecoder == NULL || position < 0) {
		position = fFile->Seek(position, SEEK_SET);
		if (position < 0)
			return (status_t)position;
	}
	if (fDecoder == NULL)
		return fPackData->ExtractNode(fFile, node, contentSize);

	status_t status = fPackData->ExtractDecodedNode(fDecoder, fFile, position, node,
		contentSize);
	// A failed or cancelled item ends what was decoded ahead; the next
	// extraction starts afresh.
	if (status < B_OK)
		_StopDecoder();
	return status;
}


void
InstallPack::SetDecodeAhead(bool decodeAhead)
{
	fDecodeAhead = decodeAhead;
	if (!decodeAhead)
		_StopDecoder();
}


void
InstallPack::_StopDecoder()
{
	delete fDecoder;
	fDecoder = NULL;
}


status_t
InstallPack::BeginDecompression()
{
	return B_OK;
}


status_t
InstallPack::EndDecompression()
{
	return B_OK;
}


void
InstallPack::ResetDecompress()
{
}


status_t
InstallPack::VerifyMagic(BFile* file)
{
	uint8 magic[8];
	ssize_t bytesRead = B_FILE_ERROR;
	if (file != NULL && file->InitCheck() == B_OK) {
		off_t position = file->Seek(fDataOffset, SEEK_SET);
		bytesRead = position < 0 ? (ssize_t)position
			: file->Read(magic, sizeof(magic));
	}
	if (bytesRead != (ssize_t)sizeof(magic)) {
		// A short read is no system error of its own: the file simply
		// ends before the package's magic.
		const char* reason = bytesRead < 0
			? strerror_status((status_t)bytesRead) : "Unexpected end of file";
		doError("Could not read complete file header (%s).", reason);
		return B_ERROR;
	}

	const char* message = magic_message(magic);
	if (message == NULL)
		return B_OK;
	doError(message);
	return B_ERROR;
}


// Reads the header group that follows the magic. Every member is accepted in
// any order and unknown ones are skipped; a header that lacks the version,
// the size or either offset, gives a known member another shape, or puts an
// offset outside the package is malformed.
status_t
InstallPack::ReadArcHeader(BFile* file, arcHeader& header)
{
	if (file == NULL)
		return B_ERROR;

	PackData reader;
	record_header record;
	status_t status = reader.ReadRecordHeader(file, &record);
	if (status != B_OK)
		return status;
	if (record.tag != kPackageHeaderTag || record.type != kGroupRecord)
		return B_ERROR;

	bool haveVersion = false, haveSize = false, haveCatalog = false,
		haveAttributes = false;
	fArchiveFlags = 0;
	while (true) {
		status = reader.ReadRecordHeader(file, &record);
		if (status != B_OK)
			return status;
		if (record.type == kEndRecord)
			break;

		int64 value = 0;
		switch (record.tag) {
			case kFormatVersionTag:
				status = read_header_number(reader, file, record, 1, &value);
				header.version = (int32)value;
				haveVersion = true;
				break;
			case kArchiveFlagsTag:
				status = read_header_number(reader, file, record, 2, &value);
				fArchiveFlags = (int32)(value & 0xFFFFFFFF);
				break;
			case kArchiveSizeTag:
				status = read_header_number(reader, file, record, 2, &value);
				header.archiveSize = value;
				haveSize = true;
				break;
			case kCatalogOffsetTag:
				status = read_header_number(reader, file, record, 2, &value);
				fCatalogOffset = value;
				haveCatalog = true;
				break;
			case kAttributeOffsetTag:
				status = read_header_number(reader, file, record, 2, &value);
				fAttribOffset = value;
				haveAttributes = true;
				break;
			default:
				status = reader.SkipData(file, &record);
				break;
		}
		if (status != B_OK)
			return status < 0 ? status : B_ERROR;
	}

	if (!haveVersion || !haveSize || !haveCatalog || !haveAttributes)
		return B_ERROR;
	if (fCatalogOffset < (int64)sizeof(kPHeader)
		|| fCatalogOffset >= header.archiveSize
		|| fAttribOffset < (int64)sizeof(kPHeader)
		|| fAttribOffset >= header.archiveSize)
		return B_ERROR;
	return B_OK;
}


status_t
InstallPack::_ReadSizeResource(const entry_ref& ref, int64* offset)
{
	BFile file(&ref, B_READ_ONLY);
	BResources resources(&file, false);
	if (resources.InitCheck() != B_OK)
		return resources.InitCheck();

	uint8 value[4];
	status_t bytesRead = resources.ReadResource(kSizeResourceType,
		kSizeResourceID, value, 0, sizeof(value));
	if (bytesRead < B_OK)
		return bytesRead;
	// A shorter resource holds no offset.
	if (bytesRead != (status_t)sizeof(value))
		return B_BAD_DATA;
	*offset = (int32)read_bendian_uint32(value);
	return B_OK;
}


status_t
InstallPack::_CheckSize(const arcHeader& header)
{
	off_t fileSize = 0;
	status_t status = fFile->GetSize(&fileSize);
	if (status != B_OK)
		return status;

	int64 remaining = fileSize - fDataOffset;
	if (header.archiveSize <= remaining)
		return B_OK;

	char sizes[96];
	snprintf(sizes, sizeof(sizes), "(%" PRId64 " expected, %" PRId64 " current)",
		header.archiveSize, remaining);
	doError("The archive data size is incorrect.\n%s", sizes);
	return B_ERROR;
}


status_t
InstallPack::_CheckVersion(const arcHeader& header)
{
	for (const uint16* version = SUPPORTED_VERSIONS; *version != kEndOfVersions;
			version++) {
		if ((int32)*version == header.version)
			return B_OK;
	}
	doError(kNewerFormat);
	return B_ERROR;
}


// The whole catalog, read once while the package opens: what the install
// window and the runs walk later is known to be whole and within the depth
// limit.
status_t
InstallPack::_CheckCatalog()
{
	ArcCatalog catalog;
	status_t status = catalog.Check(this);
	if (status != B_OK)
		ShowCatalogError(status);
	return status;
}


void
InstallPack::ShowCatalogError(status_t status)
{
	doError(CatalogErrorText(status).c_str());
}


std::string
InstallPack::CatalogErrorText(status_t status)
{
	if (status == kCatalogNoTopFolder)
		return kNoTopFolderText;
	if (status == kCatalogTooDeep) {
		std::string text = kTooDeepText;
		return text.replace(text.find("%s"), 2, std::to_string(kMaxFolderDepth));
	}
	return kInvalidPackage;
}


void
InstallPack::_GiveUp()
{
	delete fEntry;
	fEntry = NULL;
	ClearFile();
}
