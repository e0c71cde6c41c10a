#include "PackageWriter.h"

#include "AttributeSectionWriter.h"
#include "CatalogWriter.h"
#include "InstallPack.h"
#include "SPackData.h"
#include "ZlCodec.h"

#include <Node.h>

#include <algorithm>

namespace {

const size_t kCopyChunk = 256 * 1024;

} // namespace


PackageWriter::PackageWriter()
	:
	fOutput(nullptr),
	fWriter(std::make_unique<SPackData>()),
	fStart(0),
	fVersion(kDefaultVersion),
	fArchiveFlags(kDefaultArchiveFlags),
	fCatalogOffset(-1),
	fAttributeOffset(-1)
{
}


PackageWriter::~PackageWriter()
{
}


status_t
PackageWriter::SetTo(BPositionIO* output, int32 version, int64 archiveFlags)
{
	if (output == nullptr)
		return B_BAD_VALUE;
	fOutput = output;
	fStart = output->Position();
	if (fStart < 0)
		return (status_t)fStart;
	fVersion = version;
	fArchiveFlags = archiveFlags;
	fCatalogOffset = -1;
	fAttributeOffset = -1;

	ssize_t written = output->Write(kPHeader, sizeof(kPHeader));
	if (written != (ssize_t)sizeof(kPHeader))
		return written < 0 ? (status_t)written : B_IO_ERROR;
	// Placeholders, rewritten by Finish once the sizes are known.
	return _WriteHeader(0, 0, 0);
}


int64
PackageWriter::Position() const
{
	return fOutput != nullptr ? fOutput->Position() - fStart : 0;
}


status_t
PackageWriter::AddFileEntry(BPositionIO* contents,
	const std::vector<Attribute>& attributes, int64* offset)
{
	status_t status = _BeginEntry(kFileEntryTag, offset);
	if (status != B_OK)
		return status;
	if (contents->Seek(0, SEEK_SET) < 0)
		return B_IO_ERROR;
	off_t storedLimit = -1;
	off_t sourceLimit = -1;
	int32 flags = 0;
	status = fWriter->WriteBin(fOutput, contents, &storedLimit, &sourceLimit,
		&flags, nullptr, kMainForkTag);
	if (status == B_OK)
		status = _WriteAttributes(attributes);
	if (status == B_OK)
		status = fWriter->WriteEndHeader(fOutput);
	return status;
}


// The same bin WriteBin writes with the zlib codec: header {'FiMF', flags 0,
// type 3}, S, U, codec 2, then the stream itself, copied in chunks.
status_t
PackageWriter::AddCompressedFileEntry(BPositionIO* zlibStream,
	int64 storedSize, int64 originalSize,
	const std::vector<Attribute>& attributes, int64* offset)
{
	if (zlibStream == nullptr || storedSize < 0 || originalSize < 0)
		return B_BAD_VALUE;
	status_t status = _BeginEntry(kFileEntryTag, offset);
	if (status == B_OK)
		status = fWriter->WriteRecordHeader(fOutput, kMainForkTag, kBinRecord, 0);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, storedSize, kNoHeaderTag);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, originalSize, kNoHeaderTag);
	if (status == B_OK)
		status = fWriter->WriteInt32(fOutput, kZlibCodecID, kNoHeaderTag);
	if (status == B_OK)
		status = _CopyStream(zlibStream, storedSize);
	if (status == B_OK)
		status = _WriteAttributes(attributes);
	if (status == B_OK)
		status = fWriter->WriteEndHeader(fOutput);
	return status;
}


status_t
PackageWriter::AddFolderEntry(const std::vector<Attribute>& attributes,
	int64* offset)
{
	return _AddAttributesOnlyEntry(kFolderEntryTag, attributes, offset);
}


status_t
PackageWriter::AddLinkEntry(const std::vector<Attribute>& attributes,
	int64* offset)
{
	return _AddAttributesOnlyEntry(kLinkEntryTag, attributes, offset);
}


// Folders and links carry no contents: the entry group holds only the
// node's attributes.
status_t
PackageWriter::_AddAttributesOnlyEntry(int32 tag, const std::vector<Attribute>& attributes,
	int64* offset)
{
	status_t status = _BeginEntry(tag, offset);
	if (status == B_OK)
		status = _WriteAttributes(attributes);
	if (status == B_OK)
		status = fWriter->WriteEndHeader(fOutput);
	return status;
}


status_t
PackageWriter::AddNodeEntry(BNode* node, node_flavor flavor, int64* offset)
{
	if (fOutput == nullptr)
		return B_NO_INIT;
	if (offset != nullptr)
		*offset = Position();
	return fWriter->AddNodeEntry(fOutput, node, flavor);
}


status_t
PackageWriter::WriteCatalog(const CatalogWriter& catalog)
{
	if (fOutput == nullptr)
		return B_NO_INIT;
	fCatalogOffset = Position();
	return catalog.WriteTo(fOutput, fWriter.get());
}


status_t
PackageWriter::WriteAttributes(const AttributeSectionWriter& attributes)
{
	if (fOutput == nullptr)
		return B_NO_INIT;
	fAttributeOffset = Position();
	return attributes.WriteTo(fOutput, fWriter.get());
}


status_t
PackageWriter::Finish(int64* archiveSize)
{
	if (fOutput == nullptr || fCatalogOffset < 0 || fAttributeOffset < 0)
		return B_NO_INIT;
	off_t end = fOutput->Position();
	if (end < 0)
		return (status_t)end;
	if (fOutput->Seek(fStart + kHeaderStart, SEEK_SET) < 0)
		return B_IO_ERROR;
	status_t status = _WriteHeader(end - fStart, fCatalogOffset,
		fAttributeOffset);
	if (fOutput->Seek(end, SEEK_SET) < 0 && status == B_OK)
		status = B_IO_ERROR;
	if (status == B_OK && archiveSize != nullptr)
		*archiveSize = end - fStart;
	return status;
}


// The header group at its place after the magic, always the same 85 bytes,
// so that the placeholders can be rewritten in place.
status_t
PackageWriter::_WriteHeader(int64 archiveSize, int64 catalogOffset,
	int64 attributeOffset)
{
	status_t status = fWriter->WriteRecordHeader(fOutput, kPackageHeaderTag,
		kGroupRecord, 0);
	if (status == B_OK)
		status = fWriter->WriteInt32(fOutput, fVersion, kFormatVersionTag);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, fArchiveFlags, kArchiveFlagsTag);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, archiveSize, kArchiveSizeTag);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, catalogOffset, kCatalogOffsetTag);
	if (status == B_OK)
		status = fWriter->WriteInt64(fOutput, attributeOffset, kAttributeOffsetTag);
	if (status == B_OK)
		status = fWriter->WriteEndHeader(fOutput);
	return status;
}


status_t
PackageWriter::_BeginEntry(int32 tag, int64* offset)
{
	if (fOutput == nullptr)
		return B_NO_INIT;
	if (offset != nullptr)
		*offset = Position();
	return fWriter->WriteRecordHeader(fOutput, tag, kGroupRecord, 0);
}


status_t
PackageWriter::_WriteAttributes(const std::vector<Attribute>& attributes)
{
	status_t status = fWriter->WriteRecordHeader(fOutput, kAttributesTag,
		kGroupRecord, 0);
	for (const Attribute& attribute : attributes) {
		if (status == B_OK) {
			status = fWriter->WriteRecordHeader(fOutput, kAttributeTag,
				kGroupRecord, 0);
		}
		if (status == B_OK) {
			status = fWriter->WriteString(fOutput, attribute.name.c_str(),
				kAttrNameTag);
		}
		if (status == B_OK) {
			status = fWriter->WriteInt32(fOutput, (int32)attribute.type,
				kAttrTypeTag);
		}
		if (status == B_OK) {
			BMemoryIO data(attribute.data.data(), attribute.data.size());
			off_t storedLimit = -1;
			off_t sourceLimit = (off_t)attribute.data.size();
			int32 flags = 0;
			status = fWriter->WriteBin(fOutput, &data, &storedLimit,
				&sourceLimit, &flags, nullptr, kAttrDataTag);
		}
		if (status == B_OK)
			status = fWriter->WriteEndHeader(fOutput);
	}
	if (status == B_OK)
		status = fWriter->WriteEndHeader(fOutput);
	return status;
}


status_t
PackageWriter::_CopyStream(BPositionIO* source, int64 size)
{
	// Most streams are small: a buffer of their size, left uncleared.
	std::unique_ptr<uint8[]> buffer(new uint8[(size_t)std::min<int64>(size, kCopyChunk)]);
	off_t position = 0;
	while (position < size) {
		size_t chunk = (size_t)std::min<int64>(size - position, kCopyChunk);
		ssize_t bytesRead = source->ReadAt(position, buffer.get(), chunk);
		if (bytesRead != (ssize_t)chunk)
			return bytesRead < 0 ? (status_t)bytesRead : B_IO_ERROR;
		ssize_t written = fOutput->Write(buffer.get(), chunk);
		if (written != (ssize_t)chunk)
			return written < 0 ? (status_t)written : B_IO_ERROR;
		position += chunk;
	}
	return B_OK;
}
