#include "PackageLister.h"

#include "ListingText.h"
#include "PackageLocator.h"

#include "ArcCatalog.h"
#include "ArchiveFileItem.h"
#include "ArchiveItem.h"
#include "ArchiveLinkItem.h"
#include "ArchivePatchItem.h"
#include "DestItem.h"
#include "FindItem.h"
#include "GroupItem.h"
#include "GroupList.h"
#include "IndexItem.h"
#include "InstallPack.h"
#include "PackAttrib.h"
#include "SignatureCheck.h"
#include "StyleRuns.h"

#include <Errors.h>
#include <File.h>


using nlohmann::ordered_json;

namespace {

const char* kKindNames[] = {"?", "file", "folder", "patch", "script", "link"};


ordered_json
JsonText(const char* text)
{
	if (text == nullptr)
		return nullptr;
	return std::string(text);
}


ordered_json
Destinations(RList<DestItem*>* list)
{
	ordered_json out = ordered_json::array();
	if (list == nullptr)
		return out;
	for (int32 i = 0; i < list->CountItems(); i++) {
		DestItem* item = list->ItemAt(i);
		ordered_json entry;
		entry["index"] = i;
		if (FindItem* query = dynamic_cast<FindItem*>(item)) {
			entry["query"] = JsonText(query->fPath);
			entry["size"] = query->fSize;
			ordered_json predicates = ordered_json::array();
			for (int32 p = 0; p < query->CountPredicates(); p++)
				predicates.push_back(JsonText(query->PredicateAt(p)));
			entry["predicates"] = predicates;
		} else {
			entry["path"] = JsonText(item->fPath);
			entry["directory"] = item->fWhich;
		}
		out.push_back(entry);
	}
	return out;
}


} // namespace


PackageLister::PackageLister()
{
}


status_t
PackageLister::Read(const char* hostPath)
{
	PackageLocator locator;
	status_t status = locator.SetTo(hostPath, &fError);
	if (status != B_OK)
		return status;
	entry_ref ref = locator.Ref();
	InstallPack pack(ref, locator.IsSelfExtracting());
	if (pack.fEntry == nullptr) {
		fError = std::string(hostPath) + ": not a usable package";
		return B_BAD_DATA;
	}
	status = Read(&pack);
	if (status != B_OK && fError.find(hostPath) != 0)
		fError = std::string(hostPath) + ": " + fError;
	return status;
}


status_t
PackageLister::Read(InstallPack* pack)
{
	fDescription = ordered_json::object();
	fError.clear();
	ordered_json header;
	header["package offset"] = pack->fDataOffset;
	header["archive flags"] = pack->fArchiveFlags;
	header["catalog offset"] = pack->fCatalogOffset - pack->fDataOffset;
	header["attributes offset"] = pack->fAttribOffset - pack->fDataOffset;
	fDescription["header"] = header;
	fDescription["signature"] = _Signature(pack);
	status_t status = _ReadAttributes(pack);
	if (status == B_OK)
		status = _ReadCatalog(pack);
	pack->ClearFile();
	return status;
}


status_t
PackageLister::_ReadAttributes(InstallPack* pack)
{
	PackAttrib attrib;
	status_t status = pack->NewReadAttributes(&attrib);
	if (status != B_OK) {
		fError = "the package attributes cannot be read";
		return status < 0 ? status : B_BAD_DATA;
	}
	ordered_json out;
	out["name"] = JsonText(attrib.fPackageName);
	out["description"] = JsonText(attrib.fDescription);
	if (attrib.fAgreementText != nullptr)
		out["agreement"] = std::string(attrib.fAgreementText, attrib.fAgreementLength);
	else
		out["agreement"] = nullptr;
	if (attrib.fAgreementStyles != nullptr) {
		StyleRuns runs;
		ordered_json styles = ordered_json::array();
		if (runs.Unflatten(attrib.fAgreementStyles, attrib.fAgreementStylesLength) == B_OK) {
			for (int32 i = 0; i < runs.CountRuns(); i++) {
				const style_run& run = runs.RunAt(i);
				styles.push_back({{"offset", run.offset}, {"family", run.family},
					{"style", run.style}, {"size", run.size}, {"shear", run.shear},
					{"face", run.face}, {"color", {run.color[0], run.color[1], run.color[2],
						run.color[3]}}});
			}
			out["agreement styles"] = styles;
		} else
			out["agreement styles"] = "(" + std::to_string(attrib.fAgreementStylesLength)
				+ " bytes, not a style run block)";
	}
	out["help"] = JsonText(attrib.fHelpText);
	out["top folder"] = attrib.fCreateTopFolder;
	out["folder choice"] = attrib.fFolderChoice;
	out["script failure"] = attrib.fScriptFailure;
	out["option flag 1"] = attrib.fOptionFlag1;
	out["option flag 2"] = attrib.fOptionFlag2;
	out["text 14"] = JsonText(attrib.fText14);
	out["text 15"] = JsonText(attrib.fText15);
	out["value 16"] = attrib.fValue16;
	out["text 17"] = JsonText(attrib.fText17);

	ordered_json groups = ordered_json::array();
	ordered_json rows = ordered_json::array();
	GroupList* list = attrib.fGroupList;
	if (list != nullptr) {
		for (int32 i = 0; i < list->fGroups->CountItems(); i++) {
			GroupItem* group = list->fGroups->ItemAt(i);
			groups.push_back({{"index", i}, {"name", JsonText(group->Name())},
				{"description", JsonText(group->Description())},
				{"help", JsonText(group->HelpText())}});
		}
		for (int32 i = 0; i < list->fRows->CountItems(); i++) {
			int32 group = list->fRows->ItemAt(i)->fGroup;
			if (group < 0)
				rows.push_back("-");
			else
				rows.push_back(group);
		}
	}
	out["groups"] = groups;
	out["rows"] = rows;
	out["default destinations"] = Destinations(attrib.fDefaultDestList);
	out["custom destinations"] = Destinations(attrib.fCustomDestList);
	fDescription["attributes"] = out;
	return B_OK;
}


ordered_json
PackageLister::_Signature(InstallPack* pack)
{
	static const char* const kVerdictNames[] = {"not signed", "does not match", "valid",
		"valid"};
	ordered_json out;
	SignatureCheck check;
	if (pack->SetFile())
		return nullptr;
	signature_verdict verdict = check.CheckWithDigestBeside(*pack->fFile, pack->fDataOffset,
		pack->fPackageEnd, TrustedKeys());
	out["state"] = kVerdictNames[verdict];
	if (verdict == kNotSigned || verdict == kSignatureMismatch)
		return out;
	const TrustedComment& comment = check.Comment();
	out["key id"] = check.Signer().KeyIdText();
	out["signer"] = comment.fSigner;
	out["package"] = comment.fPackage;
	if (!comment.fVersion.empty())
		out["version"] = comment.fVersion;
	if (comment.fSignedAt != 0)
		out["signed"] = TrustedComment::TimeText(comment.fSignedAt);
	return out;
}


ordered_json
PackageLister::_Fields(const ArchiveItem* item, int32 kind)
{
	ordered_json out;
	out["kind"] = kKindNames[kind >= 1 && kind <= 5 ? kind : 0];
	out["name"] = JsonText(item->fName);
	out["offset"] = item->fOffset;
	out["size"] = item->fSize;
	out["destination"] = item->fDestIndex;
	out["custom"] = item->fCustom;
	out["groups"] = item->fGroups;
	out["replace"] = item->fReplaceOption;
	out["created"] = item->fCreationTime;
	out["modified"] = item->fModificationTime;
	out["platform"] = item->fPlatform;
	char mode[16];
	snprintf(mode, sizeof(mode), "0%o", (unsigned)item->fMode);
	out["mode"] = mode;
	out["version"] = {item->fVersion[0], item->fVersion[1], item->fVersion[2],
		item->fVersion[3], item->fVersion[4]};
	if (kind == kFileItemKind || kind == kPatchItemKind || kind == kScriptItemKind) {
		const ArchiveFileItem* file = dynamic_cast<const ArchiveFileItem*>(item);
		if (file != nullptr)
			out["mime"] = JsonText(file->fMimeType);
	}
	if (kind == kPatchItemKind) {
		if (const ArchivePatchItem* patch = dynamic_cast<const ArchivePatchItem*>(item))
			out["old size"] = patch->fOldSize;
	}
	if (kind == kLinkItemKind) {
		if (const ArchiveLinkItem* link = dynamic_cast<const ArchiveLinkItem*>(item))
			out["target"] = JsonText(link->fLinkTarget);
	}
	return out;
}


status_t
PackageLister::_ReadCatalog(InstallPack* pack)
{
	if (pack->SetFile()) {
		fError = "the package file cannot be opened";
		return B_IO_ERROR;
	}
	ArcCatalog catalog;
	status_t status = catalog.Set(pack);
	if (status != B_OK || catalog.Rewind() != 0) {
		fError = "the catalog does not start with the top folder";
		return B_BAD_DATA;
	}
	ordered_json top;
	_ReadFolder(catalog, top);
	fDescription["catalog"] = top;
	// The cursor enters no folder past the depth limit and reads nothing
	// past damage: the listing then ends early, and says so.
	status = catalog.Status();
	if (status == kCatalogTooDeep) {
		fError = "the catalog is nested more than " + std::to_string(kMaxFolderDepth)
			+ " folders deep";
	} else if (status != B_OK)
		fError = "the catalog is damaged";
	return status;
}


void
PackageLister::_ReadFolder(ArcCatalog& catalog, ordered_json& folder)
{
	ArchiveItem* data = nullptr;
	catalog.GetFolderData(&data);
	if (data != nullptr)
		folder = _Fields(data, kFolderItemKind);
	else
		folder = {{"kind", "folder"}, {"name", nullptr}};
	ordered_json children = ordered_json::array();
	while (int32 kind = catalog.GetFolderItemType()) {
		ordered_json child;
		if (kind == kFolderItemKind) {
			_ReadFolder(catalog, child);
			children.push_back(child);
			continue;
		}
		ArchiveItem* item = nullptr;
		catalog.GetItemData(&item, kind);
		if (item != nullptr)
			children.push_back(_Fields(item, kind));
	}
	folder["items"] = children;
}


std::string
PackageLister::Json() const
{
	// Package texts are bytes; replace what is not UTF-8 rather than fail.
	return fDescription.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}


std::string
PackageLister::Text() const
{
	return ListingText::Render(ListingText::ForPeople(fDescription));
}
