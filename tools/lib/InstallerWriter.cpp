#include "InstallerWriter.h"

#include "AtomicOutput.h"
#include "FileRange.h"
#include "HostFile.h"
#include "PackageFormat.h"
#include "PackageLocator.h"
#include "PackageSigner.h"
#include "ProgramResources.h"

#include <ElfImage.h>
#include <Errors.h>
#include <Resources.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

// Looked for in this order: the stub made for installers, then the whole
// installer program, which carries the same resources.
const char* const kStubPrograms[] = {"kestrovan-installer-stub", "kestrovan-installer"};


std::string
Folder(const std::string& path)
{
	size_t slash = path.find_last_of('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : path.substr(0, slash);
}


std::string
SelfPath(const char* toolPath)
{
	char buffer[4096];
	ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
	if (length > 0)
		return std::string(buffer, length);
	return toolPath != nullptr ? toolPath : "";
}

} // namespace


std::string
InstallerWriter::DefaultStub(const char* toolPath)
{
	std::string folder = Folder(SelfPath(toolPath));
	// Beside the tool; an installed tool in bin/ has it in lib/kestrovan/;
	// in the build the tool lives in tools/, the installer programs in host/.
	for (const char* program : kStubPrograms) {
		for (const char* candidate : {"/", "/../lib/kestrovan/", "/../host/", "/../"}) {
			std::string path = folder + candidate + program;
			if (access(path.c_str(), X_OK) == 0)
				return path;
		}
	}
	return std::string();
}


status_t
InstallerWriter::CheckStub(const char* stub, std::string* error)
{
	entry_ref ref;
	status_t status = get_ref_for_host_path(stub, &ref);
	BFile file(&ref, B_READ_ONLY);
	if (status != B_OK || file.InitCheck() != B_OK) {
		*error = std::string(stub) + ": cannot open the stub program";
		return status != B_OK ? status : file.InitCheck();
	}
	if (!is_elf_image(&file)) {
		*error = std::string(stub) + ": not an executable program";
		return B_BAD_TYPE;
	}
	BResources resources(&ref);
	if (resources.InitCheck() != B_OK) {
		*error = std::string(stub) + ": its resources cannot be read";
		return resources.InitCheck();
	}
	std::string missing;
	for (const program_resource& resource : kProgramResources) {
		if (!resources.HasResource(resource.type, resource.name))
			missing += (missing.empty() ? "" : ", ") + std::string(resource.use)
				+ " (\"" + resource.name + "\")";
	}
	if (missing.empty())
		return B_OK;
	*error = std::string(stub) + ": not a usable stub: it lacks the installer's resources "
		"(" + missing + "); a program stripped after its resources were bound loses them: "
		"use kestrovan-installer-stub, or bind them again with kestrovan-bindres";
	return B_BAD_DATA;
}


status_t
InstallerWriter::Write(const char* package, const char* output, const char* stub,
	off_t* packageOffset, std::string* error, PackageSigner* signer)
{
	if (stub == nullptr || stub[0] == '\0') {
		*error = "no installer program to use as the stub: build kestrovan-installer-stub, "
			"or name one with --stub";
		return B_ENTRY_NOT_FOUND;
	}
	status_t status = CheckStub(stub, error);
	if (status != B_OK)
		return status;
	PackageLocator locator;
	status = locator.SetTo(package, error);
	if (status != B_OK)
		return status;

	HostFile packageFile(package, O_RDONLY);
	FileRange payload(&packageFile, locator.Offset(), locator.FileSize() - locator.Offset());

	// Checked above: the stub opens and its resources are readable.
	entry_ref stubRef;
	get_ref_for_host_path(stub, &stubRef);
	BFile stubFile(&stubRef, B_READ_ONLY);
	BResources resources(&stubRef);

	AtomicOutput out;
	status = out.SetTo(output, error);
	if (status != B_OK)
		return status;
	off_t offset = 0;
	status = write_executable_with_resources(&stubFile, &resources, &payload, out.File(),
		kSizeResourceType, 0, &offset);
	if (status == B_BAD_TYPE) {
		*error = std::string(stub) + ": not an executable program";
		return status;
	}
	if (status != B_OK) {
		*error = std::string(output) + ": " + strerror(status_to_errno(status));
		return status;
	}
	if (offset > INT32_MAX) {
		*error = std::string(output) + ": the stub is too large for the size resource";
		return B_BAD_VALUE;
	}
	if (signer != nullptr && (status = signer->SignOutput(&out, error)) != B_OK) {
		*error = std::string(output) + ": signing: " + *error;
		return status;
	}
	status = out.Commit(0755, error);
	if (status == B_OK && packageOffset != nullptr)
		*packageOffset = offset;
	return status;
}
