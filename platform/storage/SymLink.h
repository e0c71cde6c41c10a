#ifndef _SYM_LINK_H
#define _SYM_LINK_H

// A symbolic link node. The host keeps no attributes and no mode on a link:
// those are not applied (without error); its times are set on the link.

#include <Node.h>

class BPath;

class BSymLink : public BNode {
public:
	BSymLink();
	BSymLink(const BSymLink& link);
	BSymLink(const entry_ref* ref);
	BSymLink(const BEntry* entry);
	BSymLink(const char* path);
	BSymLink(const BDirectory* dir, const char* path);
	~BSymLink() override;

	// The link's contents, zero-terminated; returns its length or a status.
	ssize_t ReadLink(char* buffer, size_t size);
	// The absolute path the link names, relative links taken from dirPath.
	ssize_t MakeLinkedPath(const char* dirPath, BPath* path);
	ssize_t MakeLinkedPath(const BDirectory* dir, BPath* path);
	bool IsAbsolute();

	BSymLink& operator=(const BSymLink& link);
};

#endif // _SYM_LINK_H
