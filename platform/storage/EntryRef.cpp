#include <EntryRef.h>

#include <cstdlib>
#include <cstring>

entry_ref::entry_ref()
	:
	device((dev_t)-1),
	directory((ino_t)-1),
	name(nullptr)
{
}

entry_ref::entry_ref(dev_t dev, ino_t dir, const char* leaf)
	:
	device(dev),
	directory(dir),
	name(nullptr)
{
	set_name(leaf);
}

entry_ref::entry_ref(const entry_ref& other)
	:
	device(other.device),
	directory(other.directory),
	name(nullptr)
{
	set_name(other.name);
}

entry_ref::~entry_ref()
{
	free(name);
}

status_t
entry_ref::set_name(const char* leaf)
{
	free(name);
	name = nullptr;
	if (leaf == nullptr)
		return B_OK;
	name = strdup(leaf);
	return name != nullptr ? B_OK : B_NO_MEMORY;
}

bool
entry_ref::operator==(const entry_ref& other) const
{
	if (device != other.device || directory != other.directory)
		return false;
	if (name == nullptr || other.name == nullptr)
		return name == other.name;
	return strcmp(name, other.name) == 0;
}

bool
entry_ref::operator!=(const entry_ref& other) const
{
	return !(*this == other);
}

bool
entry_ref::operator<(const entry_ref& other) const
{
	if (device != other.device)
		return device < other.device;
	if (directory != other.directory)
		return directory < other.directory;
	if (name == nullptr || other.name == nullptr)
		return other.name != nullptr;
	return strcmp(name, other.name) < 0;
}

entry_ref&
entry_ref::operator=(const entry_ref& other)
{
	if (this != &other) {
		device = other.device;
		directory = other.directory;
		set_name(other.name);
	}
	return *this;
}
