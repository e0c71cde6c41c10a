// The package attribute readers of InstallPack.

#include "InstallPack.h"

#include "FindItem.h"
#include "GroupList.h"
#include "MMallocIO.h"
#include "PackAttrib.h"
#include "SPackData.h"

#include <File.h>

#include <cstdlib>

namespace {

// Texts of the attribute section are read whole, but a stored length is no
// reason to allocate without bound: longer texts and decoded bins are left
// out (absent).
const uint32 kMaxTextLength = 16 * 1024 * 1024;
const int64 kMaxDecodedLength = 16 * 1024 * 1024;

// A number record of either width; anything else is not a number.
bool
read_number(PackData* reader, BPositionIO* io, const record_header& header,
	int64* value, status_t* status)
{
	if (header.type != kNumberRecord || (header.count != 1 && header.count != 2))
		return false;
	if (header.count == 1) {
		int32 value32 = 0;
		*status = reader->ReadInt32(io, &value32);
		*value = value32;
	} else
		*status = reader->ReadInt64(io, value);
	return true;
}

} // namespace


status_t
InstallPack::NewReadAttributes(PackAttrib* attrib)
{
	if (SetFile())
		return fFile != NULL ? fFile->InitCheck() : B_NO_INIT;
	off_t position = fFile->Seek(fAttribOffset, SEEK_SET);
	if (position < 0)
		return (status_t)position;

	record_header header;
	status_t status = fPackData->ReadRecordHeader(fFile, &header);
	if (status != B_OK)
		return status;
	if (header.tag != kAttributeSectionTag || header.type != kGroupRecord)
		return B_ERROR;

	while (true) {
		status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK || header.type == kEndRecord)
			break;
		status = _ReadAttribute(attrib, header);
		if (status < B_OK)
			break;
	}

	// Rows and groups may come in either order; the rows decide.
	attrib->fGroupList->RebuildViewIndex();
	return status < B_OK ? status : B_OK;
}


status_t
InstallPack::ReadMasterGroupList(GroupList* groups)
{
	record_header header;
	while (true) {
		status_t status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kGroupTag && header.type == kGroupRecord)
			_ReadGroup(groups);
		else if ((status = fPackData->SkipData(fFile, &header)) != B_OK)
			return status;
	}
}


status_t
InstallPack::ReadViewGroupList(GroupList* groups)
{
	record_header header;
	while (true) {
		status_t status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;

		int64 value = 0;
		if (header.tag != kGroupRowTag
			|| !read_number(fPackData, fFile, header, &value, &status)) {
			if ((status = fPackData->SkipData(fFile, &header)) != B_OK)
				return status;
			continue;
		}
		if (status != B_OK)
			return status;

		int32 groupRowsAbove = 0;
		for (int32 row = 0; row < groups->CountRows(); row++) {
			if (!groups->RowAt(row)->IsSeparator())
				groupRowsAbove++;
		}
		int32 group = (int32)value;
		groups->AppendRow(new IndexItem(group));
		if (group != IndexItem::kSeparator)
			groups->SetViewIndex(group, groupRowsAbove);
	}
}


status_t
InstallPack::ReadDefaultDestList(RList<DestItem*>* list)
{
	record_header header;
	while (true) {
		status_t status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kDestPathGroupTag && header.type == kGroupRecord)
			status = _ReadDestination(list, false);
		else
			status = fPackData->SkipData(fFile, &header);
		if (status != B_OK)
			return status;
	}
}


status_t
InstallPack::ReadCustomDestList(RList<DestItem*>* list)
{
	record_header header;
	while (true) {
		status_t status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK)
			return status;
		if (header.type == kEndRecord)
			return B_OK;
		if (header.tag == kDestPathGroupTag && header.type == kGroupRecord)
			status = _ReadDestination(list, true);
		else if (header.tag == kDestQueryGroupTag && header.type == kGroupRecord)
			status = _ReadQuery(list);
		else
			status = fPackData->SkipData(fFile, &header);
		if (status != B_OK)
			return status;
	}
}


// One member of the 'PkgA' group, its header read. A key whose record has
// another type than the key's is skipped like an unknown one.
status_t
InstallPack::_ReadAttribute(PackAttrib* attrib, const record_header& header)
{
	int32 key = header.tag;
	bool isList = key >= kAttrGroups && key <= kAttrCustomDests;
	if (isList && header.type == kGroupRecord) {
		// A list that ends early keeps what it read; the section goes on.
		if (key == kAttrGroups)
			ReadMasterGroupList(attrib->fGroupList);
		else if (key == kAttrGroupRows)
			ReadViewGroupList(attrib->fGroupList);
		else if (key == kAttrDefaultDests)
			ReadDefaultDestList(attrib->fDefaultDestList);
		else
			ReadCustomDestList(attrib->fCustomDestList);
		return B_OK;
	}

	status_t status = B_OK;
	if (header.type == kStringRecord) {
		char** field = NULL;
		switch (key) {
			case kAttrDescription: field = &attrib->fDescription; break;
			case kAttrPackageName: field = &attrib->fPackageName; break;
			case kAttrText14: field = &attrib->fText14; break;
			case kAttrText15: field = &attrib->fText15; break;
			case kAttrText17: field = &attrib->fText17; break;
		}
		if (field != NULL) {
			char* text = NULL;
			if (_ReadText(&text) == B_OK)
				attrib->AdoptText(field, text);
			return B_OK;
		}
	}

	int64 value = 0;
	bool isNumberKey = key == kAttrTopFolder || key == kAttrFolderChoice
		|| key == kAttrValue16 || key == kAttrPackageFlags;
	if (isNumberKey && read_number(fPackData, fFile, header, &value, &status)) {
		if (status != B_OK)
			return status;
		int32 number = (int32)value;
		if (key == kAttrTopFolder)
			attrib->fCreateTopFolder = number != 0;
		else if (key == kAttrFolderChoice)
			attrib->fFolderChoice = number != 0;
		else if (key == kAttrValue16)
			attrib->fValue16 = number;
		else
			attrib->SetPackageFlags((uint32)number);
		return B_OK;
	}

	bool isBinKey = key == kAttrAgreement || key == kAttrHelpText
		|| key == kAttrAgreementStyles;
	if (isBinKey && header.type == kBinRecord) {
		char* data = NULL;
		uint32 length = 0;
		status = _ReadDecodedBin(&data, &length);
		if (status != B_OK)
			return status;
		if (key == kAttrAgreementStyles) {
			if (length == 0) {
				free(data);
				data = NULL;
			}
			attrib->AdoptAgreementStyles(data, length);
			return B_OK;
		}
		// Text that is empty or starts with a zero byte is absent.
		if (data != NULL && (length == 0 || data[0] == '\0')) {
			free(data);
			data = NULL;
		}
		if (key == kAttrAgreement)
			attrib->AdoptAgreement(data, length);
		else
			attrib->AdoptHelpText(data);
		return B_OK;
	}

	return fPackData->SkipData(fFile, &header);
}


// A string record's payload into a new malloc'ed text. A text too long to
// keep is skipped and fails; the stream stays in step.
status_t
InstallPack::_ReadText(char** text)
{
	*text = NULL;
	return fPackData->ReadString(fFile, text, kMaxTextLength);
}


// A bin's payload decoded into a new malloc'ed buffer, zero-terminated past
// *length so that text in it can be used as is. A bin that cannot be
// decoded, or would decode to more than a text needs, leaves *data null and
// the stream after the bin; B_OK unless the stream itself fails.
status_t
InstallPack::_ReadDecodedBin(char** data, uint32* length)
{
	*data = NULL;
	*length = 0;

	off_t start = fFile->Position();
	int64 storedSize = 0, originalSize = 0;
	status_t status = fPackData->ReadInt64(fFile, &storedSize);
	if (status == B_OK)
		status = fPackData->ReadInt64(fFile, &originalSize);
	if (status != B_OK)
		return status;
	fFile->Seek(start, SEEK_SET);

	// A stored size of -1 runs to the end of the input: nothing follows.
	off_t binEnd = storedSize >= 0 ? start + kBinPreambleSize + storedSize : -1;
	if (originalSize < 0 || originalSize > kMaxDecodedLength)
		return fPackData->SkipBin(fFile);

	MMallocIO decoded;
	status = fPackData->ReadBin(&decoded, fFile, 0, NULL);
	if (status < B_OK) {
		if (binEnd < 0)
			return status;
		fFile->Seek(binEnd, SEEK_SET);
		return B_OK;
	}

	size_t size = decoded.Size();
	if (decoded.WriteAt(size, "", 1) != 1)
		return B_NO_MEMORY;
	decoded.SetDispose(false);
	*data = decoded.Buffer();
	*length = (uint32)size;
	return B_OK;
}


// One 'IGrp' group: name, description, help text. A group whose data ends
// early is not added.
status_t
InstallPack::_ReadGroup(GroupList* groups)
{
	char* name = NULL;
	char* description = NULL;
	char* helpText = NULL;
	record_header header;
	status_t status;
	while (true) {
		status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK || header.type == kEndRecord)
			break;

		char** field = NULL;
		if (header.type == kStringRecord) {
			if (header.tag == kGroupNameTag)
				field = &name;
			else if (header.tag == kGroupDescriptionTag)
				field = &description;
			else if (header.tag == kGroupHelpTag)
				field = &helpText;
		}
		if (field == NULL) {
			if ((status = fPackData->SkipData(fFile, &header)) != B_OK)
				break;
			continue;
		}
		char* text = NULL;
		if (_ReadText(&text) == B_OK) {
			free(*field);
			*field = text;
		}
	}

	if (status == B_OK)
		groups->AppendGroup(new GroupItem(name, description, helpText));
	free(name);
	free(description);
	free(helpText);
	return status;
}


// One 'DPat' group. Its members may come in any order; a custom destination
// is always a plain path ('FDst' is not read there). Without 'PaNa' nothing
// is added.
status_t
InstallPack::_ReadDestination(RList<DestItem*>* list, bool custom)
{
	char* path = NULL;
	int32 which = kNoSystemDirectory;
	record_header header;
	status_t status;
	while (true) {
		status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK || header.type == kEndRecord)
			break;

		if (header.tag == kDestPathTag && header.type == kStringRecord) {
			char* text = NULL;
			if (_ReadText(&text) == B_OK) {
				free(path);
				path = text;
			}
			continue;
		}
		int64 value = 0;
		if (!custom && header.tag == kDestDirectoryTag
			&& read_number(fPackData, fFile, header, &value, &status)) {
			if (status != B_OK)
				break;
			which = (int32)value;
			continue;
		}
		if ((status = fPackData->SkipData(fFile, &header)) != B_OK)
			break;
	}

	if (status == B_OK && path != NULL)
		list->AddItem(new DestItem(path, which));
	free(path);
	return status;
}


// One 'DQue' group: a destination found by a query. Added only when the
// name and the signature are both present; without a size the query looks
// for size 0.
status_t
InstallPack::_ReadQuery(RList<DestItem*>* list)
{
	char* name = NULL;
	char* signature = NULL;
	int64 size = 0;
	record_header header;
	status_t status;
	while (true) {
		status = fPackData->ReadRecordHeader(fFile, &header);
		if (status != B_OK || header.type == kEndRecord)
			break;

		char** field = NULL;
		if (header.type == kStringRecord) {
			if (header.tag == kQueryNameTag)
				field = &name;
			else if (header.tag == kQuerySignatureTag)
				field = &signature;
		}
		if (field != NULL) {
			char* text = NULL;
			if (_ReadText(&text) == B_OK) {
				free(*field);
				*field = text;
			}
			continue;
		}
		int64 value = 0;
		if (header.tag == kQuerySizeTag
			&& read_number(fPackData, fFile, header, &value, &status)) {
			if (status != B_OK)
				break;
			size = value;
			continue;
		}
		if ((status = fPackData->SkipData(fFile, &header)) != B_OK)
			break;
	}

	if (status == B_OK && name != NULL && signature != NULL)
		list->AddItem(new FindItem(name, size, signature));
	free(name);
	free(signature);
	return status;
}
