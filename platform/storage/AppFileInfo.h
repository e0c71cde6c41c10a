#ifndef _APP_FILE_INFO_H
#define _APP_FILE_INFO_H

// What an application file says about itself: its signature, its flags and
// its version. Each is kept in an attribute of the file and in its resources
// (the same type and name, id 1); reading prefers the attribute.

#include <NodeInfo.h>

class BFile;
class BResources;

// The version of an application or of the system it was built for, as it is
// kept in the "BEOS:APP_VERSION" attribute and resource ('APVI'): five uint32
// and two texts, in the host's byte order, 340 bytes. The attribute holds the
// application's record and, behind it, the system's.
struct version_info {
	uint32 major;
	uint32 middle;
	uint32 minor;
	uint32 variety;
	uint32 internal;
	char short_info[64];
	char long_info[256];
};

static_assert(sizeof(version_info) == 340, "version_info is 340 bytes");

enum version_kind {
	B_APP_VERSION_KIND,
	B_SYSTEM_VERSION_KIND
};

enum info_location {
	B_USE_ATTRIBUTES = 0x1,
	B_USE_RESOURCES = 0x2,
	B_USE_BOTH_LOCATIONS = 0x3
};

// Type codes of the records.
enum {
	B_APP_VERSION_TYPE = 'APVI',
	B_APP_FLAGS_TYPE = 'APPF'
};

// Application flags ("BEOS:APP_FLAGS").
#define B_SINGLE_LAUNCH 0x0
#define B_MULTIPLE_LAUNCH 0x1
#define B_EXCLUSIVE_LAUNCH 0x2
#define B_LAUNCH_MASK 0x3
#define B_BACKGROUND_APP 0x4
#define B_ARGV_ONLY 0x8

class BAppFileInfo : public BNodeInfo {
public:
	BAppFileInfo();
	BAppFileInfo(BFile* file);
	~BAppFileInfo() override;

	// The file is not owned; it must stay valid while this object uses it.
	status_t SetTo(BFile* file);

	// signature holds at least B_MIME_TYPE_LENGTH bytes.
	status_t GetSignature(char* signature) const;
	status_t SetSignature(const char* signature);

	status_t GetAppFlags(uint32* flags) const;
	status_t SetAppFlags(uint32 flags);
	status_t RemoveAppFlags();

	status_t GetVersionInfo(version_info* info, version_kind kind) const;
	status_t SetVersionInfo(const version_info* info, version_kind kind);

	// Where the Set calls write (both by default); reading always tries the
	// attribute first, then the resources.
	void SetInfoLocation(info_location location);
	bool IsUsingAttributes() const;
	bool IsUsingResources() const;

private:
	status_t _Read(const char* name, type_code type, void* buffer,
		size_t offset, size_t length) const;
	status_t _ReadAttribute(const char* name, type_code type, void* buffer,
		size_t offset, size_t length) const;
	status_t _ReadResource(const char* name, type_code type, void* buffer,
		size_t offset, size_t length) const;
	status_t _Write(const char* name, type_code type, const void* buffer,
		size_t length);
	status_t _Remove(const char* name, type_code type);
	bool _KeepsResources() const;

	BFile* fFile;
	info_location fWhere;
};

#endif // _APP_FILE_INFO_H
