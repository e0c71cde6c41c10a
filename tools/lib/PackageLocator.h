#ifndef _PACKAGE_LOCATOR_H
#define _PACKAGE_LOCATOR_H

// Finds the package stream in a file the tool is given: a stand-alone
// package (the stream at offset 0, recognised by its magic), or a
// self-extracting installer (the stream where its size resource says).

#include <EntryRef.h>
#include <SupportDefs.h>

#include <string>

class PackageLocator {
public:
	PackageLocator();

	status_t SetTo(const char* hostPath, std::string* error);

	bool IsSelfExtracting() const { return fSelfExtracting; }
	// Offset of the package stream in the file.
	off_t Offset() const { return fOffset; }
	off_t FileSize() const { return fFileSize; }
	const entry_ref& Ref() const { return fRef; }
	const std::string& Path() const { return fPath; }

private:
	std::string fPath;
	entry_ref fRef;
	bool fSelfExtracting;
	off_t fOffset;
	off_t fFileSize;
};

#endif // _PACKAGE_LOCATOR_H
