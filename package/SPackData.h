#ifndef _SPACK_DATA_H
#define _SPACK_DATA_H

// The reader (and writer) of node data entries: a file's contents and the
// attributes of a file, folder or link. Decodes and encodes with the zlib
// codec, writes attributes through SAttrIO, and reports the progress of file
// contents to a messenger that can answer with a request to cancel.
//
// An entry is a group 'FiDa' (file), 'FoDa' (folder) or 'LnDa' (link) with
//   'FiMF' bin      the file's contents (files only)
//   'FBeA' group    the attributes, one 'BeAI' group each:
//       'BeAN' string name, 'BeAT' int32 type, 'BeAD' bin data
//       ('Ad32' int32 is accepted and ignored)
// and an end record.

#include "FileContentIO.h"
#include "PackData.h"

#include <Messenger.h>
#include <Node.h>
#include <StorageDefs.h>

class NodeDecoder;
class Sha256Digest;
class ZlCodec;
struct decoded_event;

enum {
	kFileEntryTag = 'FiDa',
	kFolderEntryTag = 'FoDa',
	kLinkEntryTag = 'LnDa',
	kMainForkTag = 'FiMF',
	kAttributesTag = 'FBeA',
	kAttributeTag = 'BeAI',
	kAttrNameTag = 'BeAN',
	kAttrTypeTag = 'BeAT',
	kAttrDataTag = 'BeAD',
	kAttrValue32Tag = 'Ad32'
};

// The record that opens a node data entry: one of the three entry groups.
inline bool
is_entry_tag(int32 tag)
{
	return tag == kFileEntryTag || tag == kFolderEntryTag || tag == kLinkEntryTag;
}

// A record holding one 32-bit number (an attribute's type and the like).
inline bool
is_number32(const record_header& header)
{
	return header.type == kNumberRecord && header.count == 1;
}

// The progress message: "bytes" (int32), the bytes of file contents written
// since the previous one. Its reply may hold "canceled" (bool).
enum {
	kProgressMessage = 'Uprg'
};

class SPackData : public PackData {
public:
	// cancelFlag is accepted and not kept: cancelling goes through the
	// reply to progress messages.
	explicit SPackData(const BMessenger& messenger = BMessenger(),
		const bool* cancelFlag = NULL);
	~SPackData() override;

	// Reads one node data entry from src's current position and applies it
	// to node: 0, -1 for a stream that does not start with an entry group,
	// B_CANCELED when the progress target asked to stop, or the status of
	// the first failing step (what was written before it stays). With a
	// `contentSize` of 0 or more, node is a file whose contents must have
	// exactly that many bytes: no more are ever written, and contents of
	// another length fail with kContentSizeMismatch.
	status_t ExtractNode(BPositionIO* src, BNode* node, off_t contentSize = -1);
	// The same for the entry at `position` of src (where src stands), with
	// the reading and decoding done ahead by decoder: the writes, progress
	// messages, alerts and result are those of ExtractNode. Where the
	// decoder cannot tell (no entry there, a file entry for a node that is
	// no file), src is read here as ExtractNode reads it. An entry left part
	// way resets the decoder.
	status_t ExtractDecodedNode(NodeDecoder* decoder, BPositionIO* src, off_t position,
		BNode* node, off_t contentSize = -1);

	// The digest the next extractions feed with the contents they write
	// (null: none).
	void SetContentDigest(Sha256Digest* digest) { fContentDigest = digest; }

	void SetProgressMessenger(const BMessenger& messenger);
	const BMessenger& ProgressMessenger() const { return fProgressMessenger; }
	// Sends one progress message and waits for the reply: B_CANCELED when
	// it says "canceled", otherwise 0 (also with no valid target).
	// B_CANCELED also when the program was interrupted (SIGINT, SIGTERM)
	// during an install run (InterruptGuard).
	status_t UpdateProgress(uint32 bytes);

	// Progress callbacks; data is the SPackData. Extracting reports the
	// bytes written to disk, writing the bytes taken from the node.
	static int32 ExMainForkProgress(uint32 consumed, uint32 produced, void* data);
	static int32 MainForkProgress(uint32 consumed, uint32 produced, void* data);

	// Writes a node data entry for node: the file's contents (flavor
	// B_FILE_NODE, node a BFile), then its attributes in the order the file
	// system lists them. B_BAD_VALUE for another flavor or a file node that
	// is not a BFile.
	status_t AddNodeEntry(BPositionIO* dst, BNode* node, node_flavor flavor);

private:
	void _ExtractEntryMembers(BPositionIO* src, BNode* node);
	void _ExtractMainFork(BPositionIO* src, BNode* node, const record_header& header);
	void _ExtractAttributes(BPositionIO* src, BNode* node);
	void _ExtractAttribute(BPositionIO* src, BNode* node);
	void _ReplayEntryMembers(NodeDecoder* decoder, BPositionIO* src, BNode* node);
	bool _ReplayMainFork(NodeDecoder* decoder, BPositionIO* src, BNode* node,
		const decoded_event& begin);
	void _ReplayAttribute(NodeDecoder* decoder, BNode* node, const decoded_event& begin);
	[[noreturn]] void _ReplayError(const decoded_event& event);
	void _CheckContentSize(BNode* node) const;
	void _WriteAttributes(BPositionIO* dst, BNode* node);
	void _WriteAttribute(BPositionIO* dst, BNode* node, const char* name);

	ZlCodec* fCodec;
	BMessenger fProgressMessenger;
	// The declared size of the file being extracted; -1: none to keep to.
	off_t fContentSize;
	Sha256Digest* fContentDigest;
};

#endif // _SPACK_DATA_H
