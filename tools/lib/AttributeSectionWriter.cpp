#include "AttributeSectionWriter.h"

#include "DestItem.h"
#include "PackAttrib.h"
#include "PackData.h"

AttributeSectionWriter::AttributeSectionWriter()
	:
	fTopFolder(true),
	fFolderChoice(true),
	fPackageFlags(0),
	fValue16(0)
{
}


AttributeSectionWriter::~AttributeSectionWriter()
{
}


void AttributeSectionWriter::SetPackageName(const std::string& name) { fPackageName = name; }
void AttributeSectionWriter::SetDescription(const std::string& text) { fDescription = text; }
void AttributeSectionWriter::SetAgreement(const std::string& text) { fAgreement = text; }
void AttributeSectionWriter::SetHelpText(const std::string& text) { fHelpText = text; }
void AttributeSectionWriter::SetTopFolder(bool create) { fTopFolder = create; }
void AttributeSectionWriter::SetFolderChoice(bool offer) { fFolderChoice = offer; }
void AttributeSectionWriter::SetPackageFlags(uint32 flags) { fPackageFlags = flags; }
void AttributeSectionWriter::SetText14(const std::string& text) { fText14 = text; }
void AttributeSectionWriter::SetText15(const std::string& text) { fText15 = text; }
void AttributeSectionWriter::SetText17(const std::string& text) { fText17 = text; }
void AttributeSectionWriter::SetValue16(int32 value) { fValue16 = value; }


void
AttributeSectionWriter::SetAgreementStyles(const std::vector<uint8>& data)
{
	fAgreementStyles = data;
}


int32
AttributeSectionWriter::AddGroup(const std::string& name,
	const std::string& description, const std::string& helpText)
{
	fGroups.push_back({ name, description, helpText });
	return (int32)fGroups.size() - 1;
}


void
AttributeSectionWriter::AddGroupRow(int32 group)
{
	fRows.push_back(group);
}


void
AttributeSectionWriter::AddSeparatorRow()
{
	fRows.push_back(-1);
}


int32
AttributeSectionWriter::AddDefaultDestination(const std::string& path,
	int32 which)
{
	fDefaultDests.push_back({ false, path, which, 0, "" });
	return (int32)fDefaultDests.size() - 1;
}


int32
AttributeSectionWriter::AddCustomPath(const std::string& path)
{
	fCustomDests.push_back({ false, path, kNoSystemDirectory, 0, "" });
	return (int32)fCustomDests.size() - 1;
}


int32
AttributeSectionWriter::AddCustomQuery(const std::string& name, int64 size,
	const std::string& signature)
{
	fCustomDests.push_back({ true, name, kNoSystemDirectory, size, signature });
	return (int32)fCustomDests.size() - 1;
}


// The keys in ascending order; texts and bins that are empty are left out,
// the switches are always written.
status_t
AttributeSectionWriter::WriteTo(BPositionIO* output, PackData* writer) const
{
	status_t status = writer->WriteRecordHeader(output, kAttributeSectionTag,
		kGroupRecord, 0);
	if (status == B_OK)
		status = _WriteGroups(output, writer);
	if (status == B_OK)
		status = _WriteRows(output, writer);
	if (status == B_OK)
		status = _WriteDestinations(output, writer, kAttrDefaultDests, fDefaultDests);
	if (status == B_OK)
		status = _WriteDestinations(output, writer, kAttrCustomDests, fCustomDests);
	if (status == B_OK)
		status = _WriteText(output, writer, kAttrDescription, fDescription);
	if (status == B_OK)
		status = writer->WriteInt32(output, fTopFolder ? 1 : 0, kAttrTopFolder);
	if (status == B_OK && !fAgreement.empty()) {
		status = _WriteBin(output, writer, kAttrAgreement, fAgreement.data(),
			fAgreement.size());
	}
	if (status == B_OK && !fHelpText.empty()) {
		// The installer uses the help text as it is decoded: with its zero.
		status = _WriteBin(output, writer, kAttrHelpText, fHelpText.c_str(),
			fHelpText.size() + 1);
	}
	if (status == B_OK)
		status = writer->WriteInt32(output, fFolderChoice ? 1 : 0, kAttrFolderChoice);
	if (status == B_OK)
		status = _WriteText(output, writer, kAttrPackageName, fPackageName);
	if (status == B_OK)
		status = _WriteText(output, writer, kAttrText14, fText14);
	if (status == B_OK)
		status = _WriteText(output, writer, kAttrText15, fText15);
	if (status == B_OK)
		status = writer->WriteInt32(output, fValue16, kAttrValue16);
	if (status == B_OK)
		status = _WriteText(output, writer, kAttrText17, fText17);
	if (status == B_OK)
		status = writer->WriteInt32(output, (int32)fPackageFlags, kAttrPackageFlags);
	if (status == B_OK && !fAgreementStyles.empty()) {
		status = _WriteBin(output, writer, kAttrAgreementStyles,
			fAgreementStyles.data(), fAgreementStyles.size());
	}
	if (status == B_OK)
		status = writer->WriteEndHeader(output);
	return status;
}


status_t
AttributeSectionWriter::_WriteText(BPositionIO* output, PackData* writer,
	int32 key, const std::string& text) const
{
	if (text.empty())
		return B_OK;
	return writer->WriteString(output, text.c_str(), key);
}


status_t
AttributeSectionWriter::_WriteBin(BPositionIO* output, PackData* writer,
	int32 key, const void* data, size_t length) const
{
	BMemoryIO source(data, length);
	off_t storedLimit = -1;
	off_t sourceLimit = (off_t)length;
	int32 flags = 0;
	return writer->WriteBin(output, &source, &storedLimit, &sourceLimit, &flags,
		nullptr, key);
}


status_t
AttributeSectionWriter::_WriteGroups(BPositionIO* output, PackData* writer) const
{
	if (fGroups.empty())
		return B_OK;
	status_t status = writer->WriteRecordHeader(output, kAttrGroups,
		kGroupRecord, 0);
	for (const Group& group : fGroups) {
		if (status == B_OK)
			status = writer->WriteRecordHeader(output, kGroupTag, kGroupRecord, 0);
		if (status == B_OK)
			status = writer->WriteString(output, group.name.c_str(), kGroupNameTag);
		if (status == B_OK) {
			status = writer->WriteString(output, group.description.c_str(),
				kGroupDescriptionTag);
		}
		// An empty help text is stored as absent.
		if (status == B_OK && !group.helpText.empty()) {
			status = writer->WriteString(output, group.helpText.c_str(),
				kGroupHelpTag);
		}
		if (status == B_OK)
			status = writer->WriteEndHeader(output);
	}
	if (status == B_OK)
		status = writer->WriteEndHeader(output);
	return status;
}


status_t
AttributeSectionWriter::_WriteRows(BPositionIO* output, PackData* writer) const
{
	if (fRows.empty())
		return B_OK;
	status_t status = writer->WriteRecordHeader(output, kAttrGroupRows,
		kGroupRecord, 0);
	for (int32 row : fRows) {
		if (status == B_OK)
			status = writer->WriteInt32(output, row, kGroupRowTag);
	}
	if (status == B_OK)
		status = writer->WriteEndHeader(output);
	return status;
}


status_t
AttributeSectionWriter::_WriteDestinations(BPositionIO* output,
	PackData* writer, int32 key, const std::vector<Destination>& list) const
{
	if (list.empty())
		return B_OK;
	status_t status = writer->WriteRecordHeader(output, key, kGroupRecord, 0);
	for (const Destination& destination : list) {
		if (status != B_OK)
			break;
		if (destination.isQuery) {
			status = writer->WriteRecordHeader(output, kDestQueryGroupTag,
				kGroupRecord, 0);
			if (status == B_OK) {
				status = writer->WriteString(output, destination.path.c_str(),
					kQueryNameTag);
			}
			if (status == B_OK)
				status = writer->WriteInt64(output, destination.size, kQuerySizeTag);
			if (status == B_OK) {
				status = writer->WriteString(output,
					destination.signature.c_str(), kQuerySignatureTag);
			}
		} else {
			status = writer->WriteRecordHeader(output, kDestPathGroupTag,
				kGroupRecord, 0);
			if (status == B_OK) {
				status = writer->WriteString(output, destination.path.c_str(),
					kDestPathTag);
			}
			if (status == B_OK && key == kAttrDefaultDests
				&& destination.which >= 0) {
				status = writer->WriteInt32(output, destination.which,
					kDestDirectoryTag);
			}
		}
		if (status == B_OK)
			status = writer->WriteEndHeader(output);
	}
	if (status == B_OK)
		status = writer->WriteEndHeader(output);
	return status;
}
