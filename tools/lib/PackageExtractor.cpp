#include "PackageExtractor.h"

#include "PackageLocator.h"

#include "ArcCatalog.h"
#include "ArchiveItem.h"
#include "ArchiveLinkItem.h"
#include "InstallPack.h"

#include <Directory.h>
#include <Errors.h>
#include <File.h>
#include <SymLink.h>
#include <SystemRoot.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

const char* kVolumeName = "extract";


std::string
Describe(status_t status)
{
	return strerror(status_to_errno(status));
}


std::string
Join(const std::string& path, const char* name)
{
	return path.empty() ? std::string(name) : path + "/" + name;
}


// A private system root whose one volume is the host folder to extract to.
class ExtractRoot {
public:
	~ExtractRoot()
	{
		if (fRoot.empty())
			return;
		unlink((fRoot + "/" + kVolumeName).c_str());
		std::error_code ignored;
		std::filesystem::remove_all(fRoot, ignored);
	}

	status_t SetTo(const char* hostFolder, std::string* error)
	{
		mkdir(hostFolder, 0755);
		char* real = realpath(hostFolder, nullptr);
		if (real == nullptr) {
			*error = std::string(hostFolder) + ": " + strerror(errno);
			return B_ENTRY_NOT_FOUND;
		}
		std::string target = real;
		free(real);
		std::string pattern = (std::filesystem::temp_directory_path()
			/ "kestrovan-extract-XXXXXX").string();
		if (mkdtemp(pattern.data()) == nullptr) {
			*error = std::string("temporary folder: ") + strerror(errno);
			return B_ERROR;
		}
		fRoot = pattern;
		if (symlink(target.c_str(), (fRoot + "/" + kVolumeName).c_str()) != 0) {
			*error = std::string("temporary folder: ") + strerror(errno);
			return B_ERROR;
		}
		return set_system_root(fRoot.c_str());
	}

private:
	std::string fRoot;
};

} // namespace


struct PackageExtractor::walk_state {
	InstallPack* pack;
	ArcCatalog* catalog;
};


PackageExtractor::PackageExtractor()
	:
	fExtracted(0)
{
}


bool
PackageExtractor::IsSafeName(const char* name)
{
	return name != nullptr && name[0] != '\0' && strcmp(name, ".") != 0
		&& strcmp(name, "..") != 0 && strchr(name, '/') == nullptr
		&& strlen(name) < B_FILE_NAME_LENGTH;
}


void
PackageExtractor::_Problem(const std::string& path, const std::string& what)
{
	fProblems.push_back("\"" + path + "\": " + what);
}


status_t
PackageExtractor::Extract(InstallPack* pack, BDirectory* destination)
{
	fProblems.clear();
	fExtracted = 0;
	if (pack->SetFile()) {
		fProblems.push_back("the package file cannot be opened");
		return B_IO_ERROR;
	}
	ArcCatalog catalog;
	if (catalog.Set(pack) != B_OK || catalog.Rewind() != 0) {
		pack->ClearFile();
		fProblems.push_back("the catalog does not start with the top folder");
		return B_BAD_DATA;
	}
	walk_state state = {pack, &catalog};
	_Folder(state, destination, "");
	pack->ClearFile();
	// The cursor enters no folder past the depth limit and reads nothing
	// past damage: what was not reached is reported.
	status_t status = catalog.Status();
	if (status == kCatalogTooDeep) {
		fProblems.push_back("folders nested more than " + std::to_string(kMaxFolderDepth)
			+ " levels deep");
		return status;
	}
	if (status != B_OK) {
		fProblems.push_back("the catalog is damaged");
		return status;
	}
	return fProblems.empty() ? B_OK : B_ERROR;
}


void
PackageExtractor::_Folder(walk_state& state, BDirectory* parent, const std::string& path)
{
	ArchiveItem* data = nullptr;
	state.catalog->GetFolderData(&data);
	// The folder item is shared by every level: take what is needed now.
	std::string name = data != nullptr && data->fName != nullptr ? data->fName : "";
	int64 offset = data != nullptr ? data->fOffset : -1;
	int32 modified = data != nullptr ? data->fModificationTime : 0;
	int32 created = data != nullptr ? data->fCreationTime : 0;
	std::string folderPath = Join(path, name.c_str());

	BDirectory folder;
	bool usable = false;
	if (parent == nullptr) {
		// Inside a refused folder: walked, not created.
	} else if (!IsSafeName(name.c_str())) {
		_Problem(folderPath, "unsafe name refused");
	} else {
		status_t status = parent->CreateDirectory(name.c_str(), &folder);
		if (status != B_OK)
			_Problem(folderPath, "cannot create the folder: " + Describe(status));
		else {
			usable = true;
			if (offset >= 0) {
				status = state.pack->ExtractFile(&folder, offset);
				if (status != B_OK)
					_Problem(folderPath, "attributes: " + Describe(status));
			}
		}
	}

	while (int32 kind = state.catalog->GetFolderItemType()) {
		if (kind == kFolderItemKind) {
			_Folder(state, usable ? &folder : nullptr, folderPath);
			continue;
		}
		ArchiveItem* item = nullptr;
		state.catalog->GetItemData(&item, kind);
		if (item != nullptr && usable)
			_Item(state, &folder, folderPath, item, kind);
	}
	if (usable) {
		// Times last: creating the children changed them. Folder records
		// carry no mode: a folder keeps the one it was created with.
		folder.SetModificationTime(modified);
		folder.SetCreationTime(created);
		fExtracted++;
	}
}


void
PackageExtractor::_Item(walk_state& state, BDirectory* parent, const std::string& path,
	ArchiveItem* item, int32 kind)
{
	const char* name = item->fName;
	std::string itemPath = Join(path, name != nullptr ? name : "");
	if (!IsSafeName(name)) {
		_Problem(itemPath, "unsafe name refused");
		return;
	}
	status_t status;
	if (kind == kLinkItemKind) {
		ArchiveLinkItem* linkItem = dynamic_cast<ArchiveLinkItem*>(item);
		const char* target = linkItem != nullptr ? linkItem->fLinkTarget : nullptr;
		if (target == nullptr || target[0] == '\0') {
			_Problem(itemPath, "a link without a target");
			return;
		}
		BSymLink link;
		status = parent->CreateSymLink(name, target, &link);
		if (status != B_OK) {
			_Problem(itemPath, "cannot create the link: " + Describe(status));
			return;
		}
		if (item->fOffset >= 0 && (status = state.pack->ExtractFile(&link, item->fOffset))
				!= B_OK) {
			_Problem(itemPath, "attributes: " + Describe(status));
		}
		link.SetModificationTime(item->fModificationTime);
		link.SetCreationTime(item->fCreationTime);
		fExtracted++;
		return;
	}

	// Files, and the data of scripts and patches, as plain files. Never
	// over an existing entry: that could be a link the package made.
	BFile file;
	status = parent->CreateFile(name, &file, true);
	if (status != B_OK) {
		_Problem(itemPath, "cannot create the file: " + Describe(status));
		return;
	}
	if (item->fOffset >= 0 && (status = state.pack->ExtractFile(&file, item->fOffset))
			!= B_OK) {
		_Problem(itemPath, "contents: " + Describe(status));
	}
	int32 mode = item->fMode & 07777;
	file.SetPermissions(mode != 0 || kind == kFileItemKind ? mode : 0644);
	file.SetModificationTime(item->fModificationTime);
	file.SetCreationTime(item->fCreationTime);
	fExtracted++;
}


status_t
PackageExtractor::ExtractToHostFolder(const char* packagePath, const char* hostFolder)
{
	fProblems.clear();
	std::string error;
	PackageLocator locator;
	status_t status = locator.SetTo(packagePath, &error);
	if (status != B_OK) {
		fProblems.push_back(error);
		return status;
	}
	ExtractRoot root;
	if ((status = root.SetTo(hostFolder, &error)) != B_OK) {
		fProblems.push_back(error);
		return status;
	}
	entry_ref ref = locator.Ref();
	InstallPack pack(ref, locator.IsSelfExtracting());
	if (pack.fEntry == nullptr) {
		fProblems.push_back(std::string(packagePath) + ": not a usable package");
		return B_BAD_DATA;
	}
	BDirectory destination((std::string("/") + kVolumeName).c_str());
	if ((status = destination.InitCheck()) != B_OK) {
		fProblems.push_back(std::string(hostFolder) + ": " + Describe(status));
		return status;
	}
	return Extract(&pack, &destination);
}
