#ifndef _NODE_H
#define _NODE_H

// A node of the file system (file, directory or link) with its attributes.
// An attribute NAME is kept as the host extended attribute "user.NAME", its
// type code beside it in a reserved attribute of the kit.

#include <EntryRef.h>
#include <Statable.h>
#include <StorageDefs.h>
#include <fs_attr.h>

#include <string>
#include <vector>

class BDirectory;
class BEntry;

// A node named by its device and node number.
struct node_ref {
	node_ref();
	node_ref(dev_t device, ino_t node);
	node_ref(const node_ref& other);

	bool operator==(const node_ref& other) const;
	bool operator!=(const node_ref& other) const;
	bool operator<(const node_ref& other) const;
	node_ref& operator=(const node_ref& other);

	dev_t device;
	ino_t node;
};

class BNode : public BStatable {
	friend class BDirectory;
	friend class BEntry;
	friend class BFile;
	friend class BPath;
	friend class BSymLink;

public:
	BNode();
	BNode(const entry_ref* ref);
	BNode(const BEntry* entry);
	BNode(const char* path);
	BNode(const BDirectory* dir, const char* path);
	BNode(const BNode& node);
	~BNode() override;

	status_t InitCheck() const;

	// A node on a link is the link itself.
	status_t SetTo(const entry_ref* ref);
	status_t SetTo(const BEntry* entry);
	status_t SetTo(const char* path);
	status_t SetTo(const BDirectory* dir, const char* path);
	void Unset();

	status_t Lock();
	status_t Unlock();
	status_t Sync();

	// Attribute data: WriteAttr at offset 0 replaces the data, at a larger
	// offset keeps what lies before it. Both return bytes moved or a status.
	ssize_t WriteAttr(const char* name, type_code type, off_t offset,
		const void* buffer, size_t length);
	ssize_t ReadAttr(const char* name, type_code type, off_t offset,
		void* buffer, size_t length) const;
	status_t RemoveAttr(const char* name);
	status_t RenameAttr(const char* oldName, const char* newName);
	status_t GetAttrInfo(const char* name, attr_info* info) const;
	// buffer holds at least B_ATTR_NAME_LENGTH bytes; B_ENTRY_NOT_FOUND at
	// the end.
	status_t GetNextAttrName(char* buffer);
	status_t RewindAttrs();

	// A new host descriptor of the node (the caller closes it).
	int Dup();

	bool operator==(const BNode& node) const;
	bool operator!=(const BNode& node) const;
	BNode& operator=(const BNode& node);

	// The node a descriptor refers to never changes: it is asked of the
	// system once per descriptor.
	status_t GetNodeRef(node_ref* ref) const override;

protected:
	status_t _OpenStatTarget(FileDescriptor* owned, int* fd, dev_t* device,
		bool writable) const override;
	bool _MayBeLink() const override;

	// Takes over fd (a descriptor of the node itself).
	status_t _SetToDescriptor(int fd, dev_t device, int openFlags);
	status_t _CheckWritable() const;
	bool _IsSymLink() const;

	int fFd;
	int fOpenFlags;
	dev_t fDevice;
	status_t fCStatus;
	mutable node_ref fNodeRef;
	mutable bool fNodeRefKnown;

private:
	status_t _SetToEntry(const BEntry& entry);

	std::vector<std::string> fAttrNames;
	size_t fAttrCursor;
	bool fAttrsListed;
};

#endif // _NODE_H
