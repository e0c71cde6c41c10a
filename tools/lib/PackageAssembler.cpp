#include "PackageAssembler.h"

#include "ArchivePatchItem.h"
#include "AtomicOutput.h"
#include "PackageSigner.h"
#include "AttributeSectionWriter.h"
#include "BufferedOutput.h"
#include "BuildProgress.h"
#include "CatalogWriter.h"
#include "HostFile.h"
#include "PackageWriter.h"
#include "ParallelCompressor.h"
#include "PatchMaker.h"
#include "SourceTree.h"

#include <ByteOrder.h>
#include <Errors.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

enum {
	kFileKind = 1,
	kFolderKind = 2,
	kPatchKind = 3,
	kScriptKind = 4,
	kLinkKind = 5
};

const char* kMimeAttribute = "BEOS:TYPE";
const char kPatchMagic[4] = {'Q', 'V', 'p', 't'};


int32
ClampTime(time_t time)
{
	if (time > INT32_MAX)
		return INT32_MAX;
	if (time < INT32_MIN)
		return INT32_MIN;
	return (int32)time;
}


std::vector<PackageWriter::Attribute>
ConvertAttributes(const std::vector<source_attribute>& attributes)
{
	std::vector<PackageWriter::Attribute> converted;
	for (const source_attribute& attribute : attributes) {
		PackageWriter::Attribute out;
		out.name = attribute.name;
		out.type = attribute.type;
		out.data.assign(attribute.data.begin(), attribute.data.end());
		converted.push_back(std::move(out));
	}
	return converted;
}


std::string
Quoted(const std::string& text)
{
	return "\"" + text + "\"";
}


std::string
DescribeStatus(status_t status)
{
	return strerror(status_to_errno(status));
}

} // namespace


struct PackageAssembler::plan_item {
	int32 kind = kFolderKind;
	std::string name;
	// Where the data comes from, and the path in the tree for messages.
	std::string hostPath;
	std::string treePath;
	int64 size = 0;
	int64 oldSize = 0;
	int32 mode = 0;
	int32 creationTime = 0;
	int32 modificationTime = 0;
	item_settings settings;
	std::string mimeType;
	std::string linkTarget;
	std::vector<source_attribute> attributes;
	// A patch the build makes: its old and new file (host paths).
	std::string patchOld;
	std::string patchNew;
	int32 job = -1;
	std::vector<std::unique_ptr<plan_item>> children;
};


PackageAssembler::PackageAssembler()
	:
	fThreads(0),
	fBufferBound(FileCompressor::kBufferBound),
	fSigner(nullptr),
	fProgress(nullptr),
	fPackageSize(0),
	fItemCount(0),
	fPatchesMade(0),
	fFilesQueued(0),
	fBytesQueued(0),
	fInputBytes(0)
{
}


PackageAssembler::~PackageAssembler()
{
}


status_t
PackageAssembler::_Fail(status_t status, const std::string& message)
{
	fError = message;
	return status < 0 ? status : B_ERROR;
}


status_t
PackageAssembler::BuildFromFile(const char* manifestPath, const char* sourceFolder,
	const char* output)
{
	Manifest manifest;
	status_t status = manifest.Load(manifestPath);
	if (status != B_OK)
		return _Fail(status, manifest.ErrorMessage());
	return Build(manifest, sourceFolder, output);
}


status_t
PackageAssembler::Build(const Manifest& manifest, const char* sourceFolder, const char* output)
{
	fError.clear();
	fPackageSize = 0;
	fItemCount = 0;
	fFilesQueued = 0;
	fBytesQueued = 0;
	fInputBytes = 0;
	std::string source = sourceFolder != nullptr && sourceFolder[0] != '\0'
		? sourceFolder : manifest.fSource;
	if (source.empty()) {
		return _Fail(B_BAD_VALUE, manifest.FileName() + ": source: missing (give it in the "
			"manifest or on the command line)");
	}
	SourceTree tree;
	status_t status = tree.Scan(source.c_str());
	if (status != B_OK)
		return _Fail(status, tree.ErrorMessage());
	if ((status = _Plan(manifest, tree)) != B_OK)
		return status;

	AtomicOutput out;
	if ((status = out.SetTo(output, &fError)) != B_OK)
		return status;
	std::string scratch = out.ScratchFolder();
	if (scratch.empty())
		return _Fail(B_ERROR, std::string(output) + ": cannot make a temporary folder beside it");

	if ((status = _MakePatches(fPlan.get(), scratch)) != B_OK)
		return status;
	ParallelCompressor compressor(scratch.c_str(), fThreads, fBufferBound);
	_QueueFiles(fPlan.get(), compressor);
	compressor.Start();
	if (fProgress != nullptr)
		fProgress->Start(fFilesQueued, fBytesQueued);

	BufferedOutput packageFile(out.File());
	PackageWriter writer;
	if ((status = writer.SetTo(&packageFile)) != B_OK)
		return _Fail(status, std::string(output) + ": " + DescribeStatus(status));
	CatalogWriter catalog;
	status = _WriteEntries(fPlan.get(), writer, compressor, catalog.Top());
	compressor.Stop();
	if (status != B_OK)
		return status;
	if ((status = writer.WriteCatalog(catalog)) != B_OK)
		return _Fail(status, std::string(output) + ": writing the catalog: "
			+ DescribeStatus(status));
	if ((status = _WriteAttributeSection(manifest, writer)) != B_OK)
		return _Fail(status, std::string(output) + ": writing the package attributes: "
			+ DescribeStatus(status));
	if ((status = writer.Finish(&fPackageSize)) != B_OK
		|| (status = packageFile.Flush()) != B_OK)
		return _Fail(status, std::string(output) + ": " + DescribeStatus(status));
	if (fSigner != nullptr && (status = fSigner->SignOutput(&out, &fError)) != B_OK)
		return _Fail(status, std::string(output) + ": signing: " + fError);
	return out.Commit(0644, &fError);
}


status_t
PackageAssembler::_Plan(const Manifest& manifest, SourceTree& tree)
{
	const std::string& file = manifest.FileName();
	for (const auto& [path, settings] : manifest.fItems) {
		if (tree.FindNode(path) == nullptr) {
			return _Fail(B_ENTRY_NOT_FOUND, file + ": items[" + Quoted(path) + "]: no such "
				"entry in the source folder " + tree.Root()->hostPath);
		}
	}
	fPlan = std::make_unique<plan_item>();
	status_t status = _PlanNode(manifest, tree.Root(), fPlan.get());
	if (status != B_OK)
		return status;
	if (!manifest.fFolderName.empty())
		fPlan->name = manifest.fFolderName;

	struct extra_list {
		const std::vector<manifest_extra_item>* items;
		const char* field;
		int32 kind;
	};
	for (const extra_list& list : {extra_list{&manifest.fScripts, "scripts", kScriptKind},
			extra_list{&manifest.fPatches, "patches", kPatchKind}}) {
		for (size_t i = 0; i < list.items->size(); i++) {
			const manifest_extra_item& extra = (*list.items)[i];
			std::string field = file + ": " + list.field + "[" + std::to_string(i) + "]";
			source_node* folder = tree.FindNode(extra.folder);
			if (folder == nullptr || folder->kind != kSourceFolder) {
				return _Fail(B_ENTRY_NOT_FOUND, field + ".folder: no folder "
					+ Quoted(extra.folder) + " in the source folder");
			}
			// The plan folder of the same path.
			plan_item* parent = fPlan.get();
			size_t start = 0;
			while (start < extra.folder.size()) {
				size_t slash = extra.folder.find('/', start);
				std::string name = extra.folder.substr(start, slash == std::string::npos
					? std::string::npos : slash - start);
				start = slash == std::string::npos ? extra.folder.size() : slash + 1;
				for (auto& child : parent->children) {
					if (child->name == name && child->kind == kFolderKind) {
						parent = child.get();
						break;
					}
				}
			}
			auto item = std::make_unique<plan_item>();
			if ((status = _PlanExtra(manifest, extra, list.kind, field, item.get())) != B_OK)
				return status;
			for (auto& child : parent->children) {
				if (child->name == extra.name) {
					return _Fail(B_FILE_EXISTS, field + ".name: " + Quoted(extra.name)
						+ " is already in folder " + Quoted(extra.folder));
				}
			}
			if (extra.first)
				parent->children.insert(parent->children.begin(), std::move(item));
			else
				parent->children.push_back(std::move(item));
		}
	}
	return B_OK;
}


status_t
PackageAssembler::_PlanNode(const Manifest& manifest, const source_node* node, plan_item* item)
{
	item->kind = node->kind == kSourceFolder ? kFolderKind
		: node->kind == kSourceLink ? kLinkKind : kFileKind;
	item->name = node->name;
	item->hostPath = node->hostPath;
	item->treePath = node->path;
	item->size = node->size;
	item->mode = (int32)node->mode;
	item->creationTime = ClampTime(node->creationTime);
	item->modificationTime = ClampTime(node->modificationTime);
	item->settings = manifest.SettingsFor(node->path);
	item->linkTarget = node->linkTarget;
	item->attributes = node->attributes;
	if (item->kind == kFileKind) {
		if (item->settings.mimeType)
			item->mimeType = *item->settings.mimeType;
		else if (const source_attribute* type = node->FindAttribute(kMimeAttribute))
			item->mimeType = std::string(type->data.c_str());
		if (item->mimeType.size() > 255)
			item->mimeType.clear();
	}
	status_t status = _CheckDestination(manifest, *item,
		"the settings of " + Quoted(node->path));
	if (status != B_OK)
		return status;
	for (const auto& child : node->children) {
		auto childItem = std::make_unique<plan_item>();
		if ((status = _PlanNode(manifest, child.get(), childItem.get())) != B_OK)
			return status;
		item->children.push_back(std::move(childItem));
	}
	return B_OK;
}


status_t
PackageAssembler::_PlanExtra(const Manifest& manifest, const manifest_extra_item& extra,
	int32 kind, const std::string& field, plan_item* item)
{
	item->kind = kind;
	item->name = extra.name;
	item->hostPath = extra.source;
	item->treePath = extra.folder.empty() ? extra.name : extra.folder + "/" + extra.name;
	item->settings = manifest.SettingsFor(extra.folder);
	// A script or patch in a sub-folder is inside that folder.
	if (!extra.folder.empty() && !extra.settings.destination) {
		item->settings.destination = kParentFolderDestination;
		item->settings.custom = false;
	}
	Manifest::Overlay(item->settings, extra.settings);
	if (!extra.oldFile.empty())
		return _PlanMadePatch(manifest, extra, field, item);
	struct stat st;
	if (stat(extra.source.c_str(), &st) != 0) {
		status_t status = errno_status();
		return _Fail(status, field + ".source: " + Quoted(extra.source) + ": "
			+ strerror(errno));
	}
	if (!S_ISREG(st.st_mode))
		return _Fail(B_BAD_TYPE, field + ".source: " + Quoted(extra.source) + ": not a file");
	item->size = st.st_size;
	item->mode = (int32)(st.st_mode & 07777);
	item->creationTime = ClampTime(st.st_mtime);
	item->modificationTime = ClampTime(st.st_mtime);
	if (kind == kPatchKind) {
		// The original's and the new file's sizes come from the patch header.
		HostFile patch(extra.source.c_str(), O_RDONLY);
		uint8 header[20];
		if (patch.ReadAt(0, header, 20) != 20 || memcmp(header, kPatchMagic, 4) != 0) {
			return _Fail(B_BAD_DATA, field + ".source: " + Quoted(extra.source)
				+ ": not patch data (no 'QVpt' header)");
		}
		uint32 oldSize, newSize;
		memcpy(&oldSize, header + 4, 4);
		memcpy(&newSize, header + 12, 4);
		item->oldSize = extra.oldSize ? *extra.oldSize : B_BENDIAN_TO_HOST_INT32(oldSize);
		item->size = extra.newSize ? *extra.newSize : B_BENDIAN_TO_HOST_INT32(newSize);
	}
	return _CheckDestination(manifest, *item, field.substr(field.find(": ") + 2));
}


// A patch made from two files: the new file gives its size, mode and times,
// the old file the size by which the installer finds the original.
status_t
PackageAssembler::_PlanMadePatch(const Manifest& manifest, const manifest_extra_item& extra,
	const std::string& field, plan_item* item)
{
	struct stat st[2];
	const std::string* paths[2] = {&extra.oldFile, &extra.newFile};
	const char* keys[2] = {".old", ".new"};
	for (int i = 0; i < 2; i++) {
		if (stat(paths[i]->c_str(), &st[i]) != 0) {
			status_t status = errno_status();
			return _Fail(status, field + keys[i] + ": " + Quoted(*paths[i]) + ": "
				+ strerror(errno));
		}
		if (!S_ISREG(st[i].st_mode)) {
			return _Fail(B_BAD_TYPE, field + keys[i] + ": " + Quoted(*paths[i])
				+ ": not a file");
		}
		if ((int64)st[i].st_size >= kPatchSizeLimit) {
			return _Fail(errno_to_status(EFBIG), field + keys[i] + ": " + Quoted(*paths[i])
				+ ": 4 GiB or larger; patch data describes only smaller files");
		}
	}
	item->patchOld = extra.oldFile;
	item->patchNew = extra.newFile;
	item->oldSize = st[0].st_size;
	item->size = st[1].st_size;
	item->mode = (int32)(st[1].st_mode & 07777);
	item->creationTime = ClampTime(st[1].st_mtime);
	item->modificationTime = ClampTime(st[1].st_mtime);
	return _CheckDestination(manifest, *item, field.substr(field.find(": ") + 2));
}


status_t
PackageAssembler::_MakePatches(plan_item* item, const std::string& scratch)
{
	if (!item->patchOld.empty()) {
		std::string path = scratch + "/patch-" + std::to_string(fPatchesMade++);
		PatchMaker maker;
		status_t status = maker.MakeFile(item->patchOld.c_str(), item->patchNew.c_str(),
			path.c_str());
		if (status != B_OK)
			return _Fail(status, "making the patch " + Quoted(item->treePath) + ": "
				+ maker.ErrorMessage());
		item->hostPath = path;
	}
	for (auto& child : item->children) {
		status_t status = _MakePatches(child.get(), scratch);
		if (status != B_OK)
			return status;
	}
	return B_OK;
}


status_t
PackageAssembler::_CheckDestination(const Manifest& manifest, const plan_item& item,
	const std::string& where)
{
	const std::string& file = manifest.FileName();
	uint32 groups = item.settings.groups.value_or(0);
	if ((groups & ~manifest.AllGroupsMask()) != 0) {
		return _Fail(B_BAD_VALUE, file + ": groups: " + where + " name groups beyond the "
			+ std::to_string(manifest.fGroups.size()) + " the package has");
	}
	int32 destination = item.settings.destination.value_or(kInstallFolderDestination);
	if (destination < 0)
		return B_OK;
	bool custom = item.settings.custom.value_or(false);
	size_t count = custom ? manifest.fCustomDestinations.size()
		: manifest.fDefaultDestinations.size();
	if ((size_t)destination >= count) {
		return _Fail(B_BAD_VALUE, file + ": destination: " + where + " use destination "
			+ std::to_string(destination) + ", but " + (custom ? "custom_destinations"
			: "default_destinations") + " has " + std::to_string(count) + " entries");
	}
	return B_OK;
}


void
PackageAssembler::_QueueFiles(plan_item* item, ParallelCompressor& compressor)
{
	// A patch item's size is that of the file it makes, not of its data:
	// the size only orders the work, so patch data counts as small. Its own
	// size is what the progress counts.
	if (item->kind == kFileKind || item->kind == kScriptKind) {
		item->job = compressor.AddFile(item->hostPath.c_str(), item->size);
		fBytesQueued += item->size;
		fFilesQueued++;
	} else if (item->kind == kPatchKind) {
		item->job = compressor.AddFile(item->hostPath.c_str());
		struct stat st;
		if (stat(item->hostPath.c_str(), &st) == 0)
			fBytesQueued += st.st_size;
		fFilesQueued++;
	}
	for (auto& child : item->children)
		_QueueFiles(child.get(), compressor);
}


status_t
PackageAssembler::_WriteEntries(plan_item* item, PackageWriter& writer,
	ParallelCompressor& compressor, CatalogEntry* entry)
{
	std::vector<PackageWriter::Attribute> attributes = ConvertAttributes(item->attributes);
	int64 offset = -1;
	status_t status = B_OK;
	int64 size = item->size;
	switch (item->kind) {
		// A folder or link without attributes has no node data: its
		// catalog offset stays -1 and the installer extracts nothing for it.
		case kFolderKind:
			if (!attributes.empty())
				status = writer.AddFolderEntry(attributes, &offset);
			size = 0;
			break;
		case kLinkKind:
			if (!attributes.empty())
				status = writer.AddLinkEntry(attributes, &offset);
			break;
		default: {
			std::unique_ptr<BPositionIO> stream;
			status = compressor.OpenResult(item->job, &stream);
			const compressed_file& result = compressor.ResultAt(item->job);
			if (status != B_OK) {
				return _Fail(status, !result.error.empty() ? result.error
					: result.temporaryPath + ": " + DescribeStatus(status));
			}
			status = writer.AddCompressedFileEntry(stream.get(), result.storedSize,
				result.originalSize, attributes, &offset);
			stream.reset();
			compressor.Release(item->job);
			fInputBytes += result.originalSize;
			if (fProgress != nullptr)
				fProgress->FileDone(result.originalSize);
			if (item->kind != kPatchKind)
				size = result.originalSize;
			break;
		}
	}
	if (status != B_OK) {
		return _Fail(status, "writing " + Quoted(item->treePath) + " into the package: "
			+ DescribeStatus(status));
	}
	fItemCount++;

	entry->fName = item->name;
	entry->fOffset = offset;
	entry->fSize = size;
	entry->fOldSize = item->oldSize;
	entry->fDestIndex = item->settings.destination.value_or(kInstallFolderDestination);
	entry->fCustom = item->settings.custom.value_or(false);
	entry->fGroups = item->settings.groups.value_or(1);
	entry->fReplaceOption = item->settings.replace.value_or(kAskReplace);
	entry->fCreationTime = item->creationTime;
	entry->fModificationTime = item->modificationTime;
	entry->fPlatform = (int32)item->settings.platform.value_or(kThisPlatformMask);
	entry->fMode = item->mode;
	entry->fMimeType = item->mimeType;
	entry->fLinkTarget = item->linkTarget;
	if (item->settings.version) {
		for (int i = 0; i < 5; i++)
			entry->fVersion[i] = (*item->settings.version)[i];
	}

	for (auto& child : item->children) {
		CatalogEntry* childEntry = entry->AddChild(child->kind, child->name);
		if (childEntry == nullptr)
			return _Fail(B_ERROR, "cannot add " + Quoted(child->treePath) + " to the catalog");
		if ((status = _WriteEntries(child.get(), writer, compressor, childEntry)) != B_OK)
			return status;
	}
	return B_OK;
}


status_t
PackageAssembler::_WriteAttributeSection(const Manifest& manifest, PackageWriter& writer)
{
	AttributeSectionWriter attributes;
	attributes.SetPackageName(manifest.fName);
	attributes.SetDescription(manifest.fDescription);
	attributes.SetAgreement(manifest.fAgreement);
	if (manifest.fHasAgreementStyles) {
		std::string flat = manifest.fAgreementStyles.Flatten();
		attributes.SetAgreementStyles(std::vector<uint8>(flat.begin(), flat.end()));
	}
	attributes.SetHelpText(manifest.fHelp);
	attributes.SetTopFolder(manifest.fTopFolder);
	attributes.SetFolderChoice(manifest.fFolderChoice);
	attributes.SetPackageFlags(manifest.fScriptFailure ? 8 : 0);
	for (const manifest_group& group : manifest.fGroups)
		attributes.AddGroup(group.name, group.description, group.help);
	for (int32 row : manifest.fRows) {
		if (row < 0)
			attributes.AddSeparatorRow();
		else
			attributes.AddGroupRow(row);
	}
	for (const manifest_destination& destination : manifest.fDefaultDestinations)
		attributes.AddDefaultDestination(destination.path, destination.directory);
	for (const manifest_destination& destination : manifest.fCustomDestinations) {
		if (destination.isQuery) {
			attributes.AddCustomQuery(destination.queryName, destination.querySize,
				destination.querySignature);
		} else
			attributes.AddCustomPath(destination.path);
	}
	return writer.WriteAttributes(attributes);
}


status_t
build_package(const char* manifestPath, const char* sourceFolder, const char* output,
	std::string* message, int32 threads, PackageSigner* signer)
{
	PackageAssembler builder;
	builder.SetThreads(threads);
	builder.SetSigner(signer);
	status_t status = builder.BuildFromFile(manifestPath, sourceFolder, output);
	if (message != nullptr)
		*message = status == B_OK ? std::string() : builder.ErrorMessage();
	return status;
}
