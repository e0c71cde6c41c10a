#ifndef _SOURCE_TREE_H
#define _SOURCE_TREE_H

// The author's source folder, read from the host file system: the tree of
// folders, files and symbolic links with their modes, times, link targets
// and attributes. Every `user.*` extended attribute becomes a node
// attribute: its type comes from the type table the storage kit keeps
// (`user.kestrovan.types`), B_RAW_TYPE when it has none; the kit's own
// reserved attributes (`user.kestrovan.*`) are left out. A freedesktop
// `user.mime_type` becomes the MIME type attribute "BEOS:TYPE" (type
// B_MIME_STRING_TYPE, with its terminating zero) unless the node carries
// that attribute already, of which it is then only the mirror.

#include <SupportDefs.h>

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

struct source_attribute {
	std::string name;
	type_code type;
	std::string data;
};

enum source_kind {
	kSourceFile,
	kSourceFolder,
	kSourceLink
};

struct source_node {
	source_kind kind = kSourceFile;
	std::string name;
	// Path of the node relative to the top folder ("" for the top folder).
	std::string path;
	std::string hostPath;
	mode_t mode = 0;
	int64 size = 0;
	time_t modificationTime = 0;
	time_t creationTime = 0;
	std::string linkTarget;
	// Sorted by name, so that a package does not depend on the order in
	// which the host lists attributes.
	std::vector<source_attribute> attributes;
	// Sorted by name (byte order).
	std::vector<std::unique_ptr<source_node>> children;

	const source_attribute* FindAttribute(const std::string& name) const;
};

class SourceTree {
public:
	static const size_t kMaxAttributeSize = 64 * 1024;

	SourceTree();
	~SourceTree();

	// Reads the folder at `hostPath` and everything below it. A name that
	// cannot be packaged, folders nested deeper than a package may hold
	// (kMaxFolderDepth), an unreadable entry or an entry that is neither
	// file, folder nor link fails with a message naming the path.
	status_t Scan(const char* hostPath);
	const std::string& ErrorMessage() const { return fError; }

	const source_node* Root() const { return fRoot.get(); }
	source_node* Root() { return fRoot.get(); }
	// The node at a path relative to the top folder ("" the top folder).
	source_node* FindNode(const std::string& path);
	int32 CountFiles() const;

	// The attributes of one host node (exposed for the tool's tests).
	static status_t ReadAttributes(const char* hostPath, bool isLink,
		std::vector<source_attribute>* attributes, std::string* error);

private:
	// The attributes named in `names`, the node's list of them.
	static status_t _ReadListedAttributes(const char* hostPath,
		const std::vector<std::string>& names, std::vector<source_attribute>* attributes,
		std::string* error);
	status_t _ScanNode(source_node* node, int32 depth);
	status_t _ScanFolder(source_node* folder, int32 depth);

	std::unique_ptr<source_node> fRoot;
	std::string fError;
};

#endif // _SOURCE_TREE_H
