#ifndef _TESTS_SIGNED_REGIONS_H
#define _TESTS_SIGNED_REGIONS_H

// One byte in each region of a signed package, for tests that change it and
// expect the signature to find out: the header, a file's data, the catalog,
// the attributes, the signature, its trusted comment and the signer's key.
// Catalog and attribute bytes are taken inside texts the caller names, so a
// changed byte leaves the package readable and only the signature can tell.

#include "HostFileText.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct signed_region {
	const char* name;
	size_t offset;
};

inline uint64_t
big_endian_64(const std::string& bytes, size_t at)
{
	uint64_t value = 0;
	for (size_t i = 0; i < 8; i++)
		value = (value << 8) | (uint8_t)bytes[at + i];
	return value;
}


// `packageStart` is where the stream starts in the file (P). The header is
// laid out as the package writer writes it: 'AFla' at 26, 'COff' at 56,
// 'AOff' at 71, 'FSiz' at 41 (values 7 bytes after each).
inline std::vector<signed_region>
signed_regions(const std::string& bytes, size_t packageStart, const std::string& catalogText,
	const std::string& attributeText)
{
	size_t catalog = packageStart + big_endian_64(bytes, packageStart + 63);
	size_t attributes = packageStart + big_endian_64(bytes, packageStart + 78);
	size_t end = packageStart + big_endian_64(bytes, packageStart + 48);
	auto inside = [&bytes](const std::string& text, size_t from, size_t to, size_t skip) {
		size_t at = bytes.find(text, from);
		return at != std::string::npos && at < to ? at + skip : std::string::npos;
	};
	return {
		// The archive flags' most significant byte, which no reader consults.
		{"header", packageStart + 33},
		{"file data", (packageStart + 93 + catalog) / 2},
		{"catalog", inside(catalogText, catalog, attributes, 1)},
		{"attributes", inside(attributeText, attributes, end, 1)},
		{"signature", inside("SgSi", end, bytes.size(), 4 + 3 + 4 + 20)},
		{"trusted comment", inside("signer: ", end, bytes.size(), 9)},
		{"signer's key", inside("SgPK", end, bytes.size(), 4 + 3 + 4 + 5)},
	};
}

#endif // _TESTS_SIGNED_REGIONS_H
