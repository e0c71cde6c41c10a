#ifndef _PACKAGE_WRITER_H
#define _PACKAGE_WRITER_H

// Writes a package stream: the magic, the header group (version, archive
// flags, size, catalog and attribute offsets: written first as placeholders
// and rewritten by Finish), the node data entries one after another, then
// the catalog, then the attribute section.
//
//   PackageWriter writer;
//   writer.SetTo(&file);                        // P = file's position
//   writer.AddFileEntry(&contents, attrs, &offset);   // offsets from P
//   ...                                          // fill the catalog's fOffset
//   writer.WriteCatalog(catalog);
//   writer.WriteAttributes(attributes);
//   writer.Finish();
//
// File contents are one zlib stream each (codec 2). A caller that compresses
// files in advance (on several threads) hands the finished zlib streams to
// AddCompressedFileEntry, which copies them in chunks: the result is the
// same record AddFileEntry writes.

#include <DataIO.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

class AttributeSectionWriter;
class BNode;
class CatalogWriter;
class SPackData;

class PackageWriter {
public:
	// One node attribute to store.
	struct Attribute {
		std::string name;
		type_code type;
		std::vector<uint8> data;
	};

	enum { kDefaultVersion = 2, kDefaultArchiveFlags = 2 };

	PackageWriter();
	~PackageWriter();

	// Starts a package at the current position of `output` (not owned;
	// it must stay valid until Finish).
	status_t SetTo(BPositionIO* output, int32 version = kDefaultVersion,
		int64 archiveFlags = kDefaultArchiveFlags);
	// Where the next record goes, relative to the package start.
	int64 Position() const;

	// Node data entries; *offset (may be null) receives the entry's offset
	// relative to the package start, as the catalog's 'OffT' wants it.
	// `contents` is compressed from its position 0 to its end.
	status_t AddFileEntry(BPositionIO* contents,
		const std::vector<Attribute>& attributes, int64* offset);
	// `zlibStream` holds, from its position 0, `storedSize` bytes of one
	// complete zlib stream that decodes to `originalSize` bytes.
	status_t AddCompressedFileEntry(BPositionIO* zlibStream, int64 storedSize,
		int64 originalSize, const std::vector<Attribute>& attributes,
		int64* offset);
	status_t AddFolderEntry(const std::vector<Attribute>& attributes,
		int64* offset);
	status_t AddLinkEntry(const std::vector<Attribute>& attributes,
		int64* offset);
	// A node of the system root, with its contents and attributes.
	status_t AddNodeEntry(BNode* node, node_flavor flavor, int64* offset);

	// Records the catalog's offset and writes it.
	status_t WriteCatalog(const CatalogWriter& catalog);
	// Records the attribute section's offset and writes it.
	status_t WriteAttributes(const AttributeSectionWriter& attributes);
	// Rewrites the header with the final size and offsets, and leaves the
	// output at the package's end. *archiveSize (may be null) receives the
	// package's length.
	status_t Finish(int64* archiveSize = nullptr);

	// The record writer (its codec is zlib), for records of the caller's own.
	SPackData* Writer() const { return fWriter.get(); }

	// Header layout: the header group starts right after the magic and
	// ends at kHeaderEnd, where the first node data entry goes.
	enum { kHeaderStart = 8, kHeaderEnd = 93 };

private:
	PackageWriter(const PackageWriter&) = delete;
	PackageWriter& operator=(const PackageWriter&) = delete;

	status_t _WriteHeader(int64 archiveSize, int64 catalogOffset,
		int64 attributeOffset);
	status_t _BeginEntry(int32 tag, int64* offset);
	status_t _AddAttributesOnlyEntry(int32 tag, const std::vector<Attribute>& attributes,
		int64* offset);
	status_t _WriteAttributes(const std::vector<Attribute>& attributes);
	status_t _CopyStream(BPositionIO* source, int64 size);

	BPositionIO* fOutput;
	std::unique_ptr<SPackData> fWriter;
	off_t fStart;
	int32 fVersion;
	int64 fArchiveFlags;
	int64 fCatalogOffset;
	int64 fAttributeOffset;
};

#endif // _PACKAGE_WRITER_H
