#include "SPackData.h"

#include "DecodedEntry.h"
#include "EntryReader.h"
#include "ErrHandler.h"
#include "InterruptWatch.h"
#include "RunEvents.h"
#include "SAttrIO.h"
#include "ZlCodec.h"

#include <File.h>
#include <Message.h>
#include <Sha256.h>
#include <TypeConstants.h>

#include <new>
#include <string>

namespace {

// A write of decoded bytes, failing as the codec's own write fails.
void
WriteDecoded(BPositionIO* out, const uint8* data, size_t size)
{
	ssize_t result = out->Write(data, size);
	if (result != (ssize_t)size)
		ErrHandler::Throw(result < 0 ? static_cast<status_t>(result) : B_IO_ERROR);
}

} // namespace

SPackData::SPackData(const BMessenger& messenger, const bool*)
	:
	fCodec(new ZlCodec),
	fProgressMessenger(messenger),
	fContentSize(-1),
	fContentsEnd(-1),
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
	if (InterruptWatch::Requested())
		return B_CANCELED;
	RunEvents::BytesDone(bytes);
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
	EntryReader reader(this);
	status_t status = reader.Begin(src);
	if (status != B_OK)
		return status;
	return _Extract(&reader, node, contentSize);
}

status_t
SPackData::ExtractDecodedNode(NodeDecoder* decoder, BPositionIO* src, off_t position,
	BNode* node, off_t contentSize)
{
	if (decoder == NULL || src == NULL || node == NULL)
		return B_BAD_VALUE;
	DecodedEntry entry(decoder, src, this);
	if (!entry.Begin(position)) {
		// Whatever lies there, the reader of the stream decides what it is.
		off_t at = src->Seek(position, SEEK_SET);
		if (at < 0)
			return (status_t)at;
		return ExtractNode(src, node, contentSize);
	}
	status_t status = _Extract(&entry, node, contentSize);
	// An entry left part way ends what was decoded ahead.
	if (status != B_OK)
		decoder->Reset();
	return status;
}

status_t
SPackData::_Extract(EntrySteps* steps, BNode* node, off_t contentSize)
{
	fContentSize = contentSize;
	fContentsEnd = -1;
	try {
		_ApplyEntry(steps, node);
		_CheckContentSize(node);
		return B_OK;
	} catch (const ErrHandler::OSErr& error) {
		return error.err;
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}

// The same steps serve files, folders and links: what is applied depends on
// the records present and on the node.
void
SPackData::_ApplyEntry(EntrySteps* steps, BNode* node)
{
	for (;;) {
		entry_step step;
		ErrHandler::Check(steps->Next(&step));
		switch (step.what) {
			case entry_step::kEnd:
				return;
			case entry_step::kMainFork:
				_ApplyMainFork(steps, node);
				break;
			case entry_step::kAttribute:
				_ApplyAttribute(steps, node, step.name, step.type);
				break;
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

void
SPackData::_ApplyMainFork(EntrySteps* steps, BNode* node)
{
	BFile* file = dynamic_cast<BFile*>(node);
	if (file == NULL) {
		ErrHandler::Check(steps->SkipMainFork());
		return;
	}
	FileContentIO contents(file, fContentSize);
	contents.SetDigest(fContentDigest);
	// Contents digested where they were decoded take that digest, which
	// starts at their first byte, as this file's does.
	bool fromStart = contents.Position() == 0;
	for (;;) {
		entry_step step;
		ErrHandler::Check(steps->Next(&step));
		switch (step.what) {
			case entry_step::kData:
				if (fromStart)
					_TakeDecodedDigest(step, &contents);
				WriteDecoded(&contents, step.data, step.size);
				break;
			case entry_step::kChunkEnd:
				ErrHandler::Check(ExMainForkProgress(step.consumed, step.produced,
					CallbackData()));
				break;
			case entry_step::kMainForkEnd:
			{
				if (step.digest != NULL && fromStart && fContentDigest != NULL)
					fContentDigest->Swap(*step.digest);
				// A file that was longer before ends where the new contents
				// end (the file's position, which the contents' writer
				// keeps).
				off_t end = ErrHandler::Check(contents.Position());
				ErrHandler::Check(file->SetSize(end));
				fContentsEnd = end;
				return;
			}
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

// Contents digested where they were decoded are not digested again; from
// the step where that ended, this file's digest goes on with the one taken
// there.
void
SPackData::_TakeDecodedDigest(const entry_step& step, FileContentIO* contents)
{
	if (step.contentsDigested)
		contents->SetDigest(NULL);
	else if (step.digest != NULL) {
		if (fContentDigest != NULL)
			fContentDigest->Swap(*step.digest);
		contents->SetDigest(fContentDigest);
	}
}

void
SPackData::_ApplyAttribute(EntrySteps* steps, BNode* node, const char* stepName,
	type_code type)
{
	// The step's name lasts until the next step.
	std::string name = stepName;
	SAttrIO attribute(node, name.c_str(), type);
	for (;;) {
		entry_step step;
		ErrHandler::Check(steps->Next(&step));
		switch (step.what) {
			case entry_step::kData:
				WriteDecoded(&attribute, step.data, step.size);
				break;
			case entry_step::kAttributeEnd:
				// Empty data writes nothing through the stream; the
				// attribute still exists, empty.
				if (attribute.Position() == 0)
					ErrHandler::Check(node->WriteAttr(name.c_str(), type, 0, NULL, 0));
				return;
			default:
				ErrHandler::Throw(B_ERROR);
		}
	}
}

// Contents that stopped short of the declared size (or a file entry without
// any) are as damaged as contents that went on past it.
void
SPackData::_CheckContentSize(BNode* node) const
{
	BFile* file = dynamic_cast<BFile*>(node);
	if (fContentSize < 0 || file == NULL)
		return;
	off_t size = fContentsEnd;
	if (size < 0)
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
