#ifndef _CATALOG_WRITER_H
#define _CATALOG_WRITER_H

// Writes a package catalog: the tree of item groups that the installer's
// catalog reader walks. The tree is built in memory from CatalogEntry
// records under Top(), the package's top folder, and written in one go once
// the node data entries (and so their offsets) are known.
//
// Each item group holds the field records its kind reads, in this order:
//   folder  'FldI' { 'FDat' { Name OffT Dest Cust Grps Repl CTim MTim Plat }
//           children... }
//   file    'FilI' { Name OffT OrgS Dest Cust Grps Repl CTim MTim Plat Mode
//           [Mime] VrsI }
//   link    'LnkI' { Name OffT OrgS Dest Cust Grps Repl CTim MTim Plat Mode
//           Link }
//   script  'ScrI' { Name OffT OrgS Dest Cust Grps Plat }
//   patch   'PtcI' { Name OffT OrgS OldS Dest Cust Grps CTim MTim Mode Plat }

#include "CatalogEntry.h"

#include <DataIO.h>

class PackData;

class CatalogWriter {
public:
	CatalogWriter();
	~CatalogWriter();

	// The package's top folder.
	CatalogEntry* Top() { return &fTop; }
	const CatalogEntry* Top() const { return &fTop; }

	// Writes the catalog at the current position of `output`.
	status_t WriteTo(BPositionIO* output, PackData* writer) const;

private:
	CatalogWriter(const CatalogWriter&) = delete;
	CatalogWriter& operator=(const CatalogWriter&) = delete;

	status_t _WriteEntry(BPositionIO* output, PackData* writer,
		const CatalogEntry& entry) const;
	status_t _WriteFields(BPositionIO* output, PackData* writer,
		const CatalogEntry& entry) const;

	CatalogEntry fTop;
};

#endif // _CATALOG_WRITER_H
