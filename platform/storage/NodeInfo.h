#ifndef _NODE_INFO_H
#define _NODE_INFO_H

// The MIME type and preferred application of a node, kept in its attributes
// "BEOS:TYPE" and "BEOS:PREF_APP" as MIME strings ('MIMS') with their
// terminating zero. The storage kit mirrors "BEOS:TYPE" to the host's
// user.mime_type.

#include <Mime.h>
#include <Node.h>
#include <StorageDefs.h>

class BNodeInfo {
public:
	BNodeInfo();
	BNodeInfo(BNode* node);
	virtual ~BNodeInfo();

	// The node is not owned; it must stay valid while this object uses it.
	status_t SetTo(BNode* node);
	status_t InitCheck() const;

	// type holds at least B_MIME_TYPE_LENGTH bytes. B_ENTRY_NOT_FOUND when
	// the node has no type.
	virtual status_t GetType(char* type) const;
	// A null or empty type removes the node's type.
	virtual status_t SetType(const char* type);

	// signature holds at least B_MIME_TYPE_LENGTH bytes.
	virtual status_t GetPreferredApp(char* signature,
		app_verb verb = B_OPEN) const;
	virtual status_t SetPreferredApp(const char* signature,
		app_verb verb = B_OPEN);

	// The application the node names as its handler ("BEOS:PPATH"), when it
	// names one.
	virtual status_t GetAppHint(entry_ref* ref) const;
	virtual status_t SetAppHint(const entry_ref* ref);

private:
	BNodeInfo(const BNodeInfo&) = delete;
	BNodeInfo& operator=(const BNodeInfo&) = delete;

	status_t _ReadMimeString(const char* attribute, char* buffer) const;
	status_t _WriteMimeString(const char* attribute, const char* value);

	BNode* fNode;
	status_t fCStatus;
};

#endif // _NODE_INFO_H
