#ifndef _SATTR_IO_H
#define _SATTR_IO_H

// A stream over one attribute of a node: reads and writes go through
// BNode::ReadAttr and BNode::WriteAttr at the stream's offsets, chunk by
// chunk, so an attribute never has to be held in memory whole. The node
// stays open and belongs to the caller.

#include <DataIO.h>
#include <Node.h>

class SAttrIO : public BPositionIO {
public:
	// For restoring an attribute: position 0, size 0.
	SAttrIO(BNode* node, const char* name, type_code type);
	// For storing one: size and type from info.
	SAttrIO(BNode* node, const char* name, const attr_info* info);
	~SAttrIO() override;

	ssize_t Read(void* buffer, size_t size) override;
	ssize_t Write(const void* buffer, size_t size) override;
	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	// From the start, the current position or the known size; a negative
	// result becomes 0, a result beyond the size raises the size.
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	status_t GetSize(off_t* size) const override;

	const char* Name() const { return fName; }
	type_code Type() const { return fType; }

private:
	BNode* fNode;
	off_t fPosition;
	off_t fSize;
	char* fName;
	type_code fType;
};

#endif // _SATTR_IO_H
