#include "PackageSigner.h"

#include "AtomicOutput.h"
#include "HostFile.h"
#include "InstallPack.h"
#include "PackAttrib.h"
#include "PackageLocator.h"
#include "PackageSignature.h"

#include <Errors.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

status_t
CopyWhole(HostFile* from, HostFile* to)
{
	std::vector<char> buffer(1024 * 1024);
	for (off_t position = 0;;) {
		ssize_t read = from->ReadAt(position, buffer.data(), buffer.size());
		if (read < 0)
			return (status_t)read;
		if (read == 0)
			return B_OK;
		status_t status = to->WriteFully(buffer.data(), read);
		if (status != B_OK)
			return status;
		position += read;
	}
}

} // namespace


PackageSigner::PackageSigner(const SecretKey& key)
	:
	fKey(key)
{
}


status_t
PackageSigner::SignOutput(AtomicOutput* out, std::string* error)
{
	const char* path = out->TemporaryPath().c_str();
	PackageLocator locator;
	status_t status = locator.SetTo(path, error);
	if (status != B_OK)
		return status;
	entry_ref ref = locator.Ref();
	InstallPack pack(ref, locator.IsSelfExtracting());
	if (pack.fEntry == nullptr) {
		*error = "not a usable package";
		return B_BAD_DATA;
	}
	PackAttrib attributes;
	status = pack.NewReadAttributes(&attributes);
	pack.ClearFile();
	if (status != B_OK) {
		*error = "the package attributes cannot be read";
		return B_BAD_DATA;
	}

	HostFile* file = out->File();
	PackageSignature::digest digest;
	if ((status = PackageSignature::DigestOf(file, pack.fDataOffset, pack.fPackageEnd,
			&digest)) != B_OK) {
		*error = std::string("reading the package: ") + strerror(status_to_errno(status));
		return status;
	}
	TrustedComment comment;
	comment.fSigner = fSigner;
	comment.fPackage = attributes.fPackageName != nullptr ? attributes.fPackageName : "";
	comment.fVersion = fVersion;
	comment.fSignedAt = _SigningTime();

	PackageSignature signature;
	signature.fSigner = fKey.Public();
	signature.fSignature = fKey.Sign(digest.data(), digest.size());
	signature.fTrustedComment = comment.Text();
	std::string message = signature.CommentMessage();
	signature.fCommentSignature = fKey.Sign(reinterpret_cast<const uint8*>(message.data()),
		message.size());

	if ((status = file->SetSize(pack.fPackageEnd)) != B_OK
		|| file->Seek(pack.fPackageEnd, SEEK_SET) != pack.fPackageEnd
		|| (status = signature.Write(file)) != B_OK) {
		*error = std::string("writing the signature: ")
			+ strerror(status_to_errno(status != B_OK ? status : B_IO_ERROR));
		return status != B_OK ? status : B_IO_ERROR;
	}
	fLastComment = comment;
	return B_OK;
}


status_t
PackageSigner::SignInPlace(const char* hostPath, std::string* error)
{
	HostFile original(hostPath, O_RDONLY);
	struct stat info;
	if (original.InitCheck() != B_OK || fstat(original.Descriptor(), &info) != 0) {
		*error = std::string(hostPath) + ": " + strerror(errno);
		return B_ENTRY_NOT_FOUND;
	}
	AtomicOutput out;
	status_t status = out.SetTo(hostPath, error);
	if (status != B_OK)
		return status;
	if ((status = CopyWhole(&original, out.File())) != B_OK) {
		*error = std::string(hostPath) + ": copying: " + strerror(status_to_errno(status));
		return status;
	}
	if ((status = SignOutput(&out, error)) != B_OK) {
		*error = std::string(hostPath) + ": " + *error;
		return status;
	}
	return out.Commit(info.st_mode & 07777, error);
}


time_t
PackageSigner::_SigningTime()
{
	const char* epoch = getenv("SOURCE_DATE_EPOCH");
	if (epoch != nullptr && epoch[0] != '\0') {
		char* end;
		long long value = strtoll(epoch, &end, 10);
		if (*end == '\0' && value >= 0)
			return (time_t)value;
	}
	return time(nullptr);
}
