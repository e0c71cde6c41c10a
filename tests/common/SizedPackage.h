#ifndef _TESTS_SIZED_PACKAGE_H
#define _TESTS_SIZED_PACKAGE_H

// A package made byte by byte whose items claim any size, for the volume
// tests that refuse a selection too big for a volume.

#include "PackageBytes.h"
#include "ScratchDir.h"

#include <fstream>
#include <string>
#include <utility>
#include <vector>

// A package whose groups each hold one file of the given size, as its
// catalog says (the data themselves are never read: no run starts).
inline std::string
SizedPackage(const ScratchDir& scratch, const std::string& name,
	const std::vector<std::pair<std::string, int64>>& groups)
{
	RecordBytes catalog;
	catalog.Group('FldI').Group('FDat').String('Name', "top").End();
	for (size_t i = 0; i < groups.size(); i++) {
		catalog.Group('FilI').String('Name', groups[i].first)
			.Int64('OrgS', groups[i].second).Int32('Grps', 1 << i)
			.Int32('Plat', -1).Int32('Dest', -2).End();
	}
	catalog.End();

	RecordBytes attributes;
	attributes.Group('PkgA').Group(1);
	for (const auto& group : groups)
		attributes.Group('IGrp').String('GrpN', group.first).End();
	attributes.End().Group(2);
	for (size_t i = 0; i < groups.size(); i++)
		attributes.Int32('GrId', (int32)i);
	attributes.End().String(5, "A package too big for any volume.").Int32(12, 1).End();

	Bytes bytes = assemble_package(standard_header(), catalog.Data(), attributes.Data());
	std::string path = scratch / name;
	std::ofstream(path, std::ios::binary).write(
		reinterpret_cast<const char*>(bytes.data()), bytes.size());
	return path;
}

#endif // _TESTS_SIZED_PACKAGE_H
