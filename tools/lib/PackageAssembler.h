#ifndef _PACKAGE_ASSEMBLER_H
#define _PACKAGE_ASSEMBLER_H

// Builds a package from a manifest and a source folder: the folder's tree
// becomes the catalog (folders, files, links with their modes, times and
// attributes), the manifest adds the package's texts, groups, destinations,
// flags, per-item settings, scripts and patches. Files are compressed on all
// cores and written in catalog order. The output appears only when it is
// complete.
//
//   std::string message;
//   status_t status = build_package("pkg.json", nullptr, "Tool.pkg", &message);

#include "Manifest.h"

#include <SupportDefs.h>

#include <memory>
#include <string>

class BuildProgress;
class CatalogEntry;
class PackageSigner;
class PackageWriter;
class ParallelCompressor;
class SourceTree;
struct source_node;

class PackageAssembler {
public:
	PackageAssembler();
	~PackageAssembler();

	// Compression threads; 0 (the default) means one per core.
	void SetThreads(int32 threads) { fThreads = threads; }
	// Files up to this size are compressed whole in memory, larger ones
	// streamed (FileCompressor::kBufferBound unless set).
	void SetBufferBound(size_t bound) { fBufferBound = bound; }

	// Signs the package before it appears (null: unsigned, the default).
	void SetSigner(PackageSigner* signer) { fSigner = signer; }
	// Told of every file written into the package (null: nobody, the
	// default).
	void SetProgress(BuildProgress* progress) { fProgress = progress; }

	// `sourceFolder` null or empty: the manifest's "source".
	status_t Build(const Manifest& manifest, const char* sourceFolder, const char* output);
	status_t BuildFromFile(const char* manifestPath, const char* sourceFolder,
		const char* output);

	// What went wrong, naming the file and the field.
	const std::string& ErrorMessage() const { return fError; }
	// After a successful build.
	int64 PackageSize() const { return fPackageSize; }
	int32 CountItems() const { return fItemCount; }
	// The bytes of the files, scripts and patch data before compression.
	int64 InputBytes() const { return fInputBytes; }

private:
	struct plan_item;

	status_t _Fail(status_t status, const std::string& message);
	status_t _Plan(const Manifest& manifest, SourceTree& tree);
	status_t _PlanNode(const Manifest& manifest, const source_node* node, plan_item* item);
	status_t _PlanExtra(const Manifest& manifest, const manifest_extra_item& extra,
		int32 kind, const std::string& field, plan_item* item);
	status_t _PlanMadePatch(const Manifest& manifest, const manifest_extra_item& extra,
		const std::string& field, plan_item* item);
	status_t _CheckDestination(const Manifest& manifest, const plan_item& item,
		const std::string& where);
	status_t _MakePatches(plan_item* item, const std::string& scratch);
	void _QueueFiles(plan_item* item, ParallelCompressor& compressor);
	status_t _WriteEntries(plan_item* item, PackageWriter& writer,
		ParallelCompressor& compressor, CatalogEntry* entry);
	status_t _WriteAttributeSection(const Manifest& manifest, PackageWriter& writer);

	int32 fThreads;
	size_t fBufferBound;
	PackageSigner* fSigner;
	BuildProgress* fProgress;
	std::string fError;
	std::unique_ptr<plan_item> fPlan;
	int64 fPackageSize;
	int32 fItemCount;
	int32 fPatchesMade;
	// What the progress expects, and what went into the package.
	int32 fFilesQueued;
	int64 fBytesQueued;
	int64 fInputBytes;
};

// Builds `output` from the manifest at `manifestPath` (and a source folder
// that overrides the manifest's), signed by `signer` when one is given.
// B_OK, or an error status with `message` naming the file and the field.
status_t build_package(const char* manifestPath, const char* sourceFolder, const char* output,
	std::string* message, int32 threads = 0, PackageSigner* signer = nullptr);

#endif // _PACKAGE_ASSEMBLER_H
