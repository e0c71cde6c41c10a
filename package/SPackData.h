#ifndef _SPACK_DATA_H
#define _SPACK_DATA_H

// Applies node data entries to nodes (a file's contents and the attributes
// of a file, folder or link), as the entry reader reads them or as the
// reader ahead decoded them, and writes entries. Decodes and encodes with
// the zlib codec, writes attributes through SAttrIO, and reports the
// progress of file contents to a messenger that can answer with a request
// to cancel. The entry format is described with EntryReader.

#include "EntryReader.h"
#include "FileContentIO.h"
#include "PackData.h"

#include <Messenger.h>
#include <Node.h>
#include <StorageDefs.h>

class EntrySteps;
class NodeDecoder;
class Sha256Digest;
class ZlCodec;

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
	// The same for the entry at `position` of src (wherever src stands),
	// with the reading and decoding done ahead by decoder: the writes,
	// progress messages, alerts and result are those of ExtractNode. Where
	// the decoder cannot tell (no entry there, a file entry for a node that
	// is no file), src is read here from `position` as ExtractNode reads it.
	// An entry left part way resets the decoder.
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
	// during an install run (InterruptWatch).
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
	status_t _Extract(EntrySteps* steps, BNode* node, off_t contentSize);
	void _ApplyEntry(EntrySteps* steps, BNode* node);
	void _ApplyMainFork(EntrySteps* steps, BNode* node);
	void _TakeDecodedDigest(const entry_step& step, FileContentIO* contents);
	void _ApplyAttribute(EntrySteps* steps, BNode* node, const char* name, type_code type);
	void _CheckContentSize(BNode* node) const;
	void _WriteAttributes(BPositionIO* dst, BNode* node);
	void _WriteAttribute(BPositionIO* dst, BNode* node, const char* name);

	ZlCodec* fCodec;
	BMessenger fProgressMessenger;
	// The declared size of the file being extracted; -1: none to keep to.
	off_t fContentSize;
	// The size the file was given at the end of its contents (-1: none
	// were written), which spares asking the file again.
	off_t fContentsEnd;
	Sha256Digest* fContentDigest;
};

#endif // _SPACK_DATA_H
