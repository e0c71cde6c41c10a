#ifndef _TESTS_PACKAGE_BYTES_H
#define _TESTS_PACKAGE_BYTES_H

// Hand-built package streams for tests: records written one by one with the
// package's own record writer (bins through the zlib codec), and a package
// assembled from a header, a catalog and an attribute section.

#include "InstallPack.h"
#include "PackData.h"
#include "ZlCodec.h"

#include <MallocIO.h>
#include <MemoryIO.h>

#include <functional>
#include <string>
#include <vector>

typedef std::vector<uint8> Bytes;

class RecordBytes {
public:
	RecordBytes() { fWriter.SetCurrentCodec(&fCodec); }
	~RecordBytes() { fWriter.SetCurrentCodec(nullptr); }

	RecordBytes& Group(int32 tag)
	{
		fWriter.WriteRecordHeader(&fIO, tag, kGroupRecord, 0);
		return *this;
	}
	RecordBytes& End()
	{
		fWriter.WriteEndHeader(&fIO);
		return *this;
	}
	RecordBytes& Int32(int32 tag, int32 value)
	{
		fWriter.WriteInt32(&fIO, value, tag);
		return *this;
	}
	RecordBytes& Int64(int32 tag, int64 value)
	{
		fWriter.WriteInt64(&fIO, value, tag);
		return *this;
	}
	RecordBytes& String(int32 tag, const std::string& text)
	{
		fWriter.WriteString(&fIO, text.c_str(), tag);
		return *this;
	}
	RecordBytes& Buffer(int32 tag, const void* data, uint32 length)
	{
		fWriter.WriteBuf(&fIO, data, length, tag);
		return *this;
	}
	// A zlib bin of `data`.
	RecordBytes& Bin(int32 tag, const void* data, size_t length)
	{
		BMemoryIO source(data, length);
		off_t storedLimit = -1;
		off_t sourceLimit = (off_t)length;
		int32 flags = 0;
		fWriter.WriteBin(&fIO, &source, &storedLimit, &sourceLimit, &flags, nullptr,
			tag);
		return *this;
	}
	RecordBytes& Bin(int32 tag, const std::string& data)
	{
		return Bin(tag, data.data(), data.size());
	}
	// A record header of any shape, without payload.
	RecordBytes& Header(int32 tag, uint8 type, int16 count)
	{
		fWriter.WriteRecordHeader(&fIO, tag, type, count);
		return *this;
	}
	RecordBytes& Raw(const void* data, size_t length)
	{
		fIO.Write(data, length);
		return *this;
	}
	RecordBytes& Raw(const Bytes& bytes) { return Raw(bytes.data(), bytes.size()); }

	Bytes Data() const
	{
		const uint8* data = static_cast<const uint8*>(fIO.Buffer());
		return Bytes(data, data + fIO.BufferLength());
	}
	size_t Size() const { return fIO.BufferLength(); }

private:
	BMallocIO fIO;
	PackData fWriter;
	ZlCodec fCodec;
};

// Writes the header group given the package's size and its offsets.
typedef std::function<void(RecordBytes&, int64 size, int64 catalog,
	int64 attributes)> HeaderWriter;

// The header as the package writer writes it.
inline HeaderWriter
standard_header(int32 version = 2, int64 flags = 2, int64 sizeDelta = 0)
{
	return [=](RecordBytes& out, int64 size, int64 catalog, int64 attributes) {
		out.Group(kPackageHeaderTag)
			.Int32(kFormatVersionTag, version)
			.Int64(kArchiveFlagsTag, flags)
			.Int64(kArchiveSizeTag, size + sizeDelta)
			.Int64(kCatalogOffsetTag, catalog)
			.Int64(kAttributeOffsetTag, attributes)
			.End();
	};
}

// magic, header, the node data, the catalog, the attribute section. The
// header writer is run twice: once to learn its length.
inline Bytes
assemble_package(const HeaderWriter& header, const Bytes& catalog,
	const Bytes& attributes, const Bytes& nodeData = Bytes(),
	const uint8* magic = kPHeader)
{
	RecordBytes probe;
	header(probe, 0, 0, 0);
	int64 catalogOffset = 8 + probe.Size() + nodeData.size();
	int64 attributeOffset = catalogOffset + catalog.size();
	int64 size = attributeOffset + attributes.size();

	RecordBytes out;
	out.Raw(magic, 8);
	header(out, size, catalogOffset, attributeOffset);
	out.Raw(nodeData).Raw(catalog).Raw(attributes);
	return out.Data();
}

// The smallest sound catalog and attribute section.
inline Bytes
empty_catalog()
{
	RecordBytes out;
	out.Group('FldI').Group('FDat').String('Name', "top").End().End();
	return out.Data();
}

inline Bytes
empty_attributes()
{
	RecordBytes out;
	out.Group('PkgA').End();
	return out.Data();
}

#endif // _TESTS_PACKAGE_BYTES_H
