#include "PackageLocator.h"

#include "HostFile.h"
#include "PackageFormat.h"

#include <ByteOrder.h>
#include <Errors.h>
#include <Resources.h>

#include <fcntl.h>

#include <cstring>

PackageLocator::PackageLocator()
	:
	fSelfExtracting(false),
	fOffset(0),
	fFileSize(0)
{
}


status_t
PackageLocator::SetTo(const char* hostPath, std::string* error)
{
	fPath = hostPath;
	fSelfExtracting = false;
	fOffset = 0;
	HostFile file(hostPath, O_RDONLY);
	if (file.InitCheck() != B_OK) {
		*error = fPath + ": " + strerror(status_to_errno(file.InitCheck()));
		return file.InitCheck();
	}
	file.GetSize(&fFileSize);
	status_t status = get_ref_for_host_path(hostPath, &fRef);
	if (status != B_OK) {
		*error = fPath + ": " + strerror(status_to_errno(status));
		return status;
	}
	char magic[3];
	if (file.ReadAt(0, magic, 3) == 3 && memcmp(magic, "AlB", 3) == 0)
		return B_OK;

	BResources resources(&fRef);
	int32 offset;
	if (resources.InitCheck() != B_OK
		|| resources.ReadResource(kSizeResourceType, 0, &offset, 0, 4) != 4) {
		*error = fPath + ": neither a package nor an installer with a size resource";
		return B_BAD_DATA;
	}
	fOffset = (int32)B_BENDIAN_TO_HOST_INT32(offset);
	if (fOffset < 0 || fOffset > fFileSize) {
		*error = fPath + ": the size resource points outside the file";
		return B_BAD_DATA;
	}
	fSelfExtracting = true;
	return B_OK;
}
