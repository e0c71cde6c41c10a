#include "CreatePath.h"

#include "DestManager.h"

#include <Directory.h>
#include <Entry.h>
#include <Errors.h>
#include <File.h>
#include <Node.h>
#include <Path.h>
#include <StorageDefs.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Taken while the program starts, before it has other threads: the answer
// where the running system does not show the mask of a process.
mode_t
MaskAtStartUp()
{
	mode_t mask = umask(0);
	umask(mask);
	return mask;
}

const mode_t sMaskAtStartUp = MaskAtStartUp();

// Copies the next component of `path` (after any run of slashes) into
// `component`, at most B_FILE_NAME_LENGTH - 1 bytes: a longer one goes on as
// the next component. Returns where the scan goes on.
const char*
NextComponent(const char* path, char* component)
{
	while (*path == '/')
		path++;
	size_t length = 0;
	while (path[length] != '\0' && path[length] != '/'
		&& length < B_FILE_NAME_LENGTH - 1)
		length++;
	memcpy(component, path, length);
	component[length] = '\0';
	return path + length;
}

} // namespace


status_t
CreatePathAt(const BDirectory* base, const char* path, BEntry* result,
	DestManager* manager)
{
	BDirectory current(*base);
	BEntry last;
	bool any = false;
	char component[B_FILE_NAME_LENGTH];
	while (true) {
		path = NextComponent(path, component);
		if (component[0] == '\0')
			break;
		BEntry entry(&current, component);
		BDirectory next;
		status_t status;
		if (!entry.Exists()) {
			status = manager != nullptr ? manager->NoteCreating(&current, component) : B_OK;
			if (status == B_OK)
				status = current.CreateDirectory(component, &next);
			if (status != B_OK)
				return status;
			if (manager != nullptr) {
				manager->NoteCreated(&current, component);
				manager->NoteComplete(&current, component);
			}
			status = entry.SetTo(&current, component);
		} else
			status = next.SetTo(&entry);
		if (status != B_OK)
			return status;
		current = next;
		last = entry;
		any = true;
	}
	if (any)
		*result = last;
	return B_OK;
}


const char*
root_find_directory(directory_which which, BPath* path)
{
	if (find_directory(which, path, false, nullptr) != B_OK)
		return nullptr;
	const char* text = path->Path();
	while (*text == '/')
		text++;
	while (*text != '\0' && *text != '/')
		text++;
	while (*text == '/')
		text++;
	return text;
}


void
WritePath(BDirectory* dir, BFile* log, char* nameBuffer)
{
	BEntry self;
	BDirectory parent;
	node_ref selfNode;
	node_ref parentNode;
	if (dir->GetEntry(&self) != B_OK || self.GetParent(&parent) != B_OK
		|| dir->GetNodeRef(&selfNode) != B_OK
		|| parent.GetNodeRef(&parentNode) != B_OK
		|| selfNode == parentNode) {
		log->Write("/", 1);
		return;
	}
	WritePath(&parent, log, nameBuffer);
	if (self.GetName(nameBuffer) != B_OK)
		nameBuffer[0] = '\0';
	log->Write(nameBuffer, strlen(nameBuffer));
	log->Write("/", 1);
}


status_t
RecursiveDelete(BEntry* entry)
{
	if (!entry->IsDirectory())
		return entry->Remove();
	BDirectory dir(entry);
	dir.Rewind();
	BEntry child;
	while (dir.GetNextEntry(&child, false) == B_OK)
		RecursiveDelete(&child);
	return entry->Remove();
}


mode_t
file_creation_mask()
{
	FILE* status = fopen("/proc/self/status", "r");
	if (status == nullptr)
		return sMaskAtStartUp;
	mode_t mask = sMaskAtStartUp;
	char line[256];
	while (fgets(line, sizeof(line), status) != nullptr) {
		if (strncmp(line, "Umask:", 6) == 0) {
			mask = (mode_t)strtoul(line + 6, nullptr, 8) & 07777;
			break;
		}
	}
	fclose(status);
	return mask;
}
