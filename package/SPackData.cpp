#include "SPackData.h"

#include "DoError.h"
#include "ErrHandler.h"
#include "NodeDecoder.h"
#include "SAttrIO.h"
#include "ZlCodec.h"

#include <File.h>
#include <InterruptGuard.h>
#include <Message.h>
#include <TypeConstants.h>

#include <new>

namespace {

// A write of decoded bytes, failing as the codec's own write fails.
void
WriteDecoded(BPositionIO* out, const std::vector<uint8>& data)
{
	ssize_t result = out->Write(data.data(), data.size());
	if (result != (ssize_t)data.size())
		ErrHandler::Throw(result < 0 ? static_cast<status_t>(result) : B_IO_ERROR);
}

} // namespace

SPackData::SPackData(const BMessenger& messenger, const bool*)
	:
	fCodec(new ZlCodec),
	fProgressMessenger(messenger),
	fContentSize(-1),
	fContentDigest(NULL)
{
	SetCurrentCodec(fCodec);
	SetCallbackData(this);
}

SPackData::~SPackData()
{
	SetCurrentCodec(NULL);
	delete fCodec;
}

void
SPackData::SetProgressMessenger(const BMessenger& messenger)
{
	fProgressMessenger = messenger;
}

status_t
SPackData::UpdateProgress(uint32 bytes)
{
	// An interrupt of the program during a run cancels it as the progress
	// window's Cancel does.
	if (BPrivate::InterruptGuard::Requested())
		return B_CANCELED;
	if (!fProgressMessenger.IsValid())
		return B_OK;
	BMessage message(kProgressMessage);
	message.AddInt32("bytes", static_cast<int32>(bytes));
	BMessage reply;
	if (fProgressMessenger.SendMessage(&message, &reply, B_INFINITE_TIMEOUT,
			B_INFINITE_TIMEOUT) != B_OK)
		return B_OK;
	bool canceled = false;
	if (reply.FindBool("canceled", &canceled) == B_OK && canceled)
		return B_CANCELED;
	return B_OK;
}

int32
SPackData::ExMainForkProgress(uint32, uint32 produced, void* data)
{
	return static_cast<SPackData*>(data)->UpdateProgress(produced);
}

int32
SPackData::MainForkProgress(uint32 consumed, uint32, void* data)
{
	return static_cast<SPackData*>(data)->UpdateProgress(consumed);
}

// #pragma mark - extracting

status_t
SPackData::ExtractNode(BPositionIO* src, BNode* node, off_t contentSize)
{
	if (src == NULL || node == NULL)
		return B_BAD_VALUE;
	fContentSize = contentSize;
	try {
		record_header header;
		ErrHandler::Check(ReadRecordHeader(src, &header));
		if (header.type != kGroupRecord || !is_entry_tag(header.tag))
			return B_ERROR;
		_ExtractEntryMembers(src, node);
		_CheckContentSize(node);
		return B_OK;
	} catch (const ErrHandler::OSErr& error) {
		return error.err;
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}

// The same members serve files, folders and links: what is applied depends
// on the records present and on the node.
void
SPackData::_ExtractEntryMembers(BPositionIO* src, BNode* node)
{
	for (;;) {
		record_header header;
		ErrHandler::Check(ReadRecordHeader(src, &header));
		if (header.type == kEndRecord)
			return;
		if (header.tag == kMainForkTag && header.type == kBinRecord)
			_ExtractMainFork(src, node, header);
		else if (header.tag == kAttributesTag && header.type == kGroupRecord)
			_ExtractAttributes(src, node);
		else
			ErrHandler::Check(SkipData(src, &header));
	}
}

void
SPackData::_ExtractMainFork(BPositionIO* src, BNode* node, const record_header& header)
{
	BFile* file = dynamic_cast<BFile*>(node);
	if (file == NULL) {
		ErrHandler::Check(SkipData(src, &header));
		return;
	}
	FileContentIO contents(file, fContentSize);
	contents.SetDigest(fContentDigest);
	ErrHandler::Check(ReadBin(&contents, src, 0, ExMainForkProgress));
	// A file that was longer before ends where the new contents end.
	off_t end = ErrHandler::Check(file->Position());
	ErrHandler::Check(file->SetSize(end));
}

void
SPackData::_ExtractAttributes(BPositionIO* src, BNode* node)
{
	for (;;) {
		record_header header;
		ErrHandler::Check(ReadRecordHeader(src, &header));
		if (header.type == kEndRecord)
			return;
		if (header.tag == kAttributeTag && header.type == kGroupRecord)
			_ExtractAttribute(src, node);
		else
			ErrHandler::Check(SkipData(src, &header));
	}
}

void
SPackData::_ExtractAttribute(BPositionIO* src, BNode* node)
{
	char name[B_FILE_NAME_LENGTH] = "";
	type_code type = B_RAW_TYPE;
	for (;;) {
		record_header header;
		ErrHandler::Check(ReadRecordHeader(src, &header));
		if (header.type == kEndRecord)
			return;
		if (header.tag == kAttrNameTag && header.type == kStringRecord) {
			ErrHandler::Check(ReadString(src, name, sizeof(name)));
		} else if (header.tag == kAttrTypeTag && is_number32(header)) {
			int32 value;
			ErrHandler::Check(ReadInt32(src, &value));
			type = static_cast<type_code>(value);
		} else if (header.tag == kAttrValue32Tag && is_number32(header)) {
			int32 ignored;
			ErrHandler::Check(ReadInt32(src, &ignored));
		} else if (header.tag == kAttrDataTag && header.type == kBinRecord) {
			// Name and type precede the data; data without a name has
			// nowhere to go.
			if (name[0] == '\0')
				ErrHandler::Throw(B_BAD_DATA);
			SAttrIO attribute(node, name, type);
			ErrHandler::Check(ReadBin(&attribute, src, 0, NULL));
			// Empty data writes nothing through the stream; the attribute
			// still exists, empty.
			if (attribute.Position() == 0)
				ErrHandler::Check(node->WriteAttr(name, type, 0, NULL, 0));
		} else {
			ErrHandler::Check(SkipData(src, &header));
		}
	}
}

// #pragma mark - applying decoded entries

status_t
SPackData::ExtractDecodedNode(NodeDecoder* decoder, BPositionIO* src, off_t position,
	BNode* node, off_t contentSize)
{
	if (decoder == NULL || src == NULL || node == NULL)
		return B_BAD_VALUE;
	decoder->Request(position);
	decoded_event event;
	decoder->Next(&event);
	if (event.what != decoded_event::kEntryBegin) {
		// Whatever lies there, the reader of the stream decides what it is.
		decoder->Reset();
		return ExtractNode(src, node, contentSize);
	}
	fContentSize = contentSize;
	try {
		_ReplayEntryMembers(decoder, src, node);
		_CheckContentSize(node);
		return B_OK;
	} catch (const ErrHandler::OSErr& error) {
		decoder->Reset();
		return error.err;
	} catch (const std::bad_alloc&) {
		decoder->Reset();
		return B_NO_MEMORY;
	}
}

// Applies the events of one entry as _ExtractEntryMembers applies the
// records they were decoded from.
void
SPackData::_ReplayEntryMembers(NodeDecoder* decoder, BPositionIO* src, BNode* node)
{
	for (;;) {
		decoded_event event;
		decoder->Next(&event);
		switch (event.what) {
			case decoded_event::kEntryEnd:
				return;
			case decoded_event::kMainForkBegin:
				if (!_ReplayMainFork(decoder, src, node, event))
					return;
				break;
			case decoded_event::kAttributeBegin:
				_ReplayAttribute(decoder, node, event);
				break;
			case decoded_event::kError:
				_ReplayError(event);
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

// False when the rest of the entry was read from src here: a node that is no
// file skips the contents, whatever they hold, and goes on from there.
bool
SPackData::_ReplayMainFork(NodeDecoder* decoder, BPositionIO* src, BNode* node,
	const decoded_event& begin)
{
	BFile* file = dynamic_cast<BFile*>(node);
	if (file == NULL) {
		decoder->Reset();
		if (src->Seek(begin.resume, SEEK_SET) != begin.resume)
			ErrHandler::Throw(B_ERROR);
		record_header header = { kMainForkTag, 0, kBinRecord };
		_ExtractMainFork(src, node, header);
		_ExtractEntryMembers(src, node);
		return false;
	}
	FileContentIO contents(file, fContentSize);
	contents.SetDigest(fContentDigest);
	for (;;) {
		decoded_event event;
		decoder->Next(&event);
		switch (event.what) {
			case decoded_event::kData:
				WriteDecoded(&contents, event.data);
				break;
			case decoded_event::kChunkEnd:
			{
				int32 answer = ExMainForkProgress(event.consumed, event.produced,
					CallbackData());
				ErrHandler::Check(answer);
				break;
			}
			case decoded_event::kMainForkEnd:
			{
				// A file that was longer before ends where the new contents
				// end.
				off_t end = ErrHandler::Check(file->Position());
				ErrHandler::Check(file->SetSize(end));
				return true;
			}
			case decoded_event::kError:
				_ReplayError(event);
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

void
SPackData::_ReplayAttribute(NodeDecoder* decoder, BNode* node, const decoded_event& begin)
{
	const char* name = begin.name.c_str();
	SAttrIO attribute(node, name, begin.type);
	for (;;) {
		decoded_event event;
		decoder->Next(&event);
		switch (event.what) {
			case decoded_event::kData:
				WriteDecoded(&attribute, event.data);
				break;
			case decoded_event::kAttributeEnd:
				// Empty data writes nothing through the stream; the
				// attribute still exists, empty.
				if (attribute.Position() == 0)
					ErrHandler::Check(node->WriteAttr(name, begin.type, 0, NULL, 0));
				return;
			case decoded_event::kError:
				_ReplayError(event);
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

// The codec's alert is shown here, on this thread, at the point of the
// entry where decoding failed.
void
SPackData::_ReplayError(const decoded_event& event)
{
	if (!event.alert.empty())
		doError(event.alert.c_str());
	ErrHandler::Throw(event.status);
}

// Contents that stopped short of the declared size (or a file entry without
// any) are as damaged as contents that went on past it.
void
SPackData::_CheckContentSize(BNode* node) const
{
	BFile* file = dynamic_cast<BFile*>(node);
	if (fContentSize < 0 || file == NULL)
		return;
	off_t size = 0;
	ErrHandler::Check(file->GetSize(&size));
	if (size != fContentSize)
		ErrHandler::Throw(kContentSizeMismatch);
}

// #pragma mark - writing

status_t
SPackData::AddNodeEntry(BPositionIO* dst, BNode* node, node_flavor flavor)
{
	if (dst == NULL || node == NULL)
		return B_BAD_VALUE;
	int32 tag;
	switch (flavor) {
		case B_FILE_NODE:
			tag = kFileEntryTag;
			break;
		case B_DIRECTORY_NODE:
			tag = kFolderEntryTag;
			break;
		case B_SYMLINK_NODE:
			tag = kLinkEntryTag;
			break;
		default:
			return B_BAD_VALUE;
	}
	BFile* file = NULL;
	if (flavor == B_FILE_NODE) {
		file = dynamic_cast<BFile*>(node);
		if (file == NULL)
			return B_BAD_VALUE;
	}

	try {
		ErrHandler::Check(WriteRecordHeader(dst, tag, kGroupRecord, 0));
		if (file != NULL) {
			ErrHandler::Check(file->Seek(0, SEEK_SET));
			off_t storedLimit = -1;
			off_t sourceLimit = -1;
			int32 flags = 0;
			ErrHandler::Check(WriteBin(dst, file, &storedLimit, &sourceLimit, &flags,
				MainForkProgress, kMainForkTag));
		}
		_WriteAttributes(dst, node);
		ErrHandler::Check(WriteEndHeader(dst));
		return B_OK;
	} catch (const ErrHandler::OSErr& error) {
		return error.err;
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}

void
SPackData::_WriteAttributes(BPositionIO* dst, BNode* node)
{
	ErrHandler::Check(WriteRecordHeader(dst, kAttributesTag, kGroupRecord, 0));
	ErrHandler::Check(node->RewindAttrs());
	char name[B_ATTR_NAME_LENGTH + 1];
	for (;;) {
		status_t status = node->GetNextAttrName(name);
		if (status == B_ENTRY_NOT_FOUND)
			break;
		ErrHandler::Check(status);
		_WriteAttribute(dst, node, name);
	}
	ErrHandler::Check(WriteEndHeader(dst));
}

void
SPackData::_WriteAttribute(BPositionIO* dst, BNode* node, const char* name)
{
	attr_info info;
	ErrHandler::Check(node->GetAttrInfo(name, &info));
	ErrHandler::Check(WriteRecordHeader(dst, kAttributeTag, kGroupRecord, 0));
	ErrHandler::Check(WriteString(dst, name, kAttrNameTag));
	ErrHandler::Check(WriteInt32(dst, static_cast<int32>(info.type), kAttrTypeTag));
	SAttrIO attribute(node, name, &info);
	off_t storedLimit = -1;
	off_t sourceLimit = info.size;
	int32 flags = 0;
	ErrHandler::Check(WriteBin(dst, &attribute, &storedLimit, &sourceLimit, &flags, NULL,
		kAttrDataTag));
	ErrHandler::Check(WriteEndHeader(dst));
}
