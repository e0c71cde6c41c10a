#include <Query.h>

#include <Directory.h>
#include <Entry.h>
#include <Node.h>
#include <Path.h>
#include <QueryPredicate.h>
#include <TypeConstants.h>
#include <Volume.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace {

// Attribute types whose values compare as numbers.
bool
is_number_type(type_code type)
{
	switch (type) {
		case B_INT8_TYPE: case B_UINT8_TYPE: case B_INT16_TYPE:
		case B_UINT16_TYPE: case B_INT32_TYPE: case B_UINT32_TYPE:
		case B_INT64_TYPE: case B_UINT64_TYPE: case B_OFF_T_TYPE:
		case B_SIZE_T_TYPE: case B_SSIZE_T_TYPE: case B_TIME_TYPE:
		case B_BOOL_TYPE:
			return true;
	}
	return false;
}

int64
decode_number(type_code type, const uint8* data, size_t size)
{
	// Attributes are kept in the host's byte order.
	auto as = [&](auto value) {
		memcpy(&value, data, std::min(size, sizeof(value)));
		return (int64)value;
	};
	switch (type) {
		case B_INT8_TYPE: return as(int8(0));
		case B_UINT8_TYPE: case B_BOOL_TYPE: return as(uint8(0));
		case B_INT16_TYPE: return as(int16(0));
		case B_UINT16_TYPE: return as(uint16(0));
		case B_INT32_TYPE: return as(int32(0));
		case B_UINT32_TYPE: return as(uint32(0));
		default: return as(int64(0));
	}
}

// One entry met by the walk, asked for the values the predicate names.
class WalkCandidate : public QueryCandidate {
public:
	WalkCandidate(int directoryFd, const std::string& path, const char* name,
		const struct stat& st)
		:
		fDirectoryFd(directoryFd),
		fPath(path),
		fName(name),
		fStat(st),
		fNodeOpened(false)
	{
	}

	bool GetValue(const std::string& attribute, QueryValue* value) override
	{
		if (attribute == "name") {
			value->text = fName;
			return true;
		}
		if (attribute == "size") {
			value->isNumber = true;
			value->number = fStat.st_size;
			return true;
		}
		if (attribute == "last_modified") {
			value->isNumber = true;
			value->number = fStat.st_mtime;
			return true;
		}
		return ReadAttribute(attribute, value);
	}

private:
	// Most entries lack the attribute: asking the host first spares opening
	// each of them through the kit. The attribute NAME is the host's
	// "user.NAME"; the entry itself is asked, never what a link names.
	bool MayHaveAttribute(const std::string& attribute) const
	{
		std::string host = "/proc/self/fd/" + std::to_string(fDirectoryFd) + "/"
			+ fName;
		std::string name = "user." + attribute;
		if (lgetxattr(host.c_str(), name.c_str(), nullptr, 0) >= 0)
			return true;
		return errno != ENODATA && errno != ENOTSUP;
	}

	bool ReadAttribute(const std::string& attribute, QueryValue* value)
	{
		if (!MayHaveAttribute(attribute))
			return false;
		if (!fNodeOpened) {
			fNode.SetTo(fPath.c_str());
			fNodeOpened = true;
		}
		attr_info info;
		if (fNode.InitCheck() != B_OK
			|| fNode.GetAttrInfo(attribute.c_str(), &info) != B_OK
			|| info.size < 0 || info.size > 65536)
			return false;
		std::vector<uint8> data((size_t)info.size);
		ssize_t read = fNode.ReadAttr(attribute.c_str(), info.type, 0,
			data.data(), data.size());
		if (read < 0)
			return false;
		data.resize((size_t)read);
		if (is_number_type(info.type)) {
			value->isNumber = true;
			value->number = decode_number(info.type, data.data(), data.size());
			return true;
		}
		// Texts are kept with their terminating zero.
		value->text.assign(data.begin(), data.end());
		value->text.erase(value->text.find_last_not_of('\0') + 1);
		return true;
	}

	int fDirectoryFd;
	std::string fPath;
	const char* fName;
	const struct stat& fStat;
	BNode fNode;
	bool fNodeOpened;
};

struct WalkResult {
	dev_t device;
	ino_t directory;
	std::string name;
};

// Depth first through the host directory `fd` (platform path `path`), names
// in byte order; never follows a link, never enters another mount.
class VolumeWalker {
public:
	VolumeWalker(const QueryPredicate& predicate, dev_t device, uint64 mountID)
		:
		fPredicate(predicate),
		fDevice(device),
		fMountID(mountID)
	{
	}

	void Walk(int fd, const std::string& path, ino_t directory,
		std::vector<entry_ref>* results)
	{
		for (const std::string& name : SortedNames(fd)) {
			struct stat st;
			if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
				continue;
			std::string childPath = path + "/" + name;
			WalkCandidate candidate(fd, childPath, name.c_str(), st);
			if (fPredicate.Matches(&candidate))
				results->push_back(RefFor(childPath, directory, name));
			if (S_ISDIR(st.st_mode))
				WalkInto(fd, name, childPath, results);
		}
	}

	static bool MountID(int fd, const char* name, uint64* id)
	{
		struct statx info;
		if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_EMPTY_PATH, STATX_MNT_ID,
				&info) != 0 || (info.stx_mask & STATX_MNT_ID) == 0)
			return false;
		*id = info.stx_mnt_id;
		return true;
	}

private:
	// The kit's own reference (which also teaches it where the directory
	// lies), else one made from what the walk knows.
	entry_ref RefFor(const std::string& path, ino_t directory,
		const std::string& name)
	{
		entry_ref ref;
		BEntry entry(path.c_str());
		if (entry.GetRef(&ref) == B_OK)
			return ref;
		return entry_ref(fDevice, directory, name.c_str());
	}

	void WalkInto(int parent, const std::string& name, const std::string& path,
		std::vector<entry_ref>* results)
	{
		uint64 mountID;
		if (!MountID(parent, name.c_str(), &mountID) || mountID != fMountID)
			return;
		int fd = openat(parent, name.c_str(),
			O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		if (fd < 0)
			return;
		struct stat st;
		if (fstat(fd, &st) == 0)
			Walk(fd, path, st.st_ino, results);
		close(fd);
	}

	static std::vector<std::string> SortedNames(int fd)
	{
		std::vector<std::string> names;
		int listFd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		if (listFd < 0)
			return names;
		DIR* dir = fdopendir(listFd);
		if (dir == nullptr) {
			close(listFd);
			return names;
		}
		while (struct dirent* entry = readdir(dir)) {
			if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
				names.emplace_back(entry->d_name);
		}
		closedir(dir);
		std::sort(names.begin(), names.end());
		return names;
	}

	const QueryPredicate& fPredicate;
	dev_t fDevice;
	uint64 fMountID;
};

} // namespace

BQuery::BQuery()
	:
	fHasPredicate(false),
	fDevice((dev_t)-1),
	fFetched(false),
	fCursor(0)
{
}

BQuery::~BQuery()
{
}

status_t
BQuery::Clear()
{
	fPredicate.clear();
	fHasPredicate = false;
	fDevice = (dev_t)-1;
	fFetched = false;
	fResults.clear();
	fCursor = 0;
	return B_OK;
}

status_t
BQuery::SetPredicate(const char* expression)
{
	if (fFetched)
		return B_NOT_ALLOWED;
	if (expression == nullptr)
		return B_BAD_VALUE;
	fPredicate = expression;
	fHasPredicate = true;
	return B_OK;
}

status_t
BQuery::SetVolume(const BVolume* volume)
{
	if (fFetched)
		return B_NOT_ALLOWED;
	if (volume == nullptr || volume->InitCheck() != B_OK)
		return B_BAD_VALUE;
	fDevice = volume->Device();
	return B_OK;
}

bool
BQuery::IsLive() const
{
	return false;
}

size_t
BQuery::PredicateLength()
{
	return fHasPredicate ? fPredicate.size() + 1 : 0;
}

status_t
BQuery::GetPredicate(char* buffer, size_t length)
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (!fHasPredicate)
		return B_NO_INIT;
	if (length < fPredicate.size() + 1)
		return B_BAD_VALUE;
	strcpy(buffer, fPredicate.c_str());
	return B_OK;
}

dev_t
BQuery::TargetDevice() const
{
	return fDevice;
}

status_t
BQuery::Fetch()
{
	if (fFetched)
		return B_NOT_ALLOWED;
	if (!fHasPredicate || fDevice == (dev_t)-1)
		return B_NO_INIT;
	QueryPredicate predicate;
	status_t status = predicate.Parse(fPredicate.c_str());
	if (status != B_OK)
		return status;

	BVolume volume(fDevice);
	BDirectory root;
	status = volume.InitCheck();
	if (status == B_OK)
		status = volume.GetRootDirectory(&root);
	if (status != B_OK)
		return status;
	BEntry rootEntry;
	BPath rootPath;
	status = root.GetEntry(&rootEntry);
	if (status == B_OK)
		status = rootEntry.GetPath(&rootPath);
	if (status != B_OK)
		return status;

	int fd = root.Dup();
	if (fd < 0)
		return B_IO_ERROR;
	struct stat st;
	uint64 mountID;
	if (fstat(fd, &st) != 0 || !VolumeWalker::MountID(fd, "", &mountID)) {
		close(fd);
		return B_IO_ERROR;
	}
	VolumeWalker walker(predicate, fDevice, mountID);
	fResults.clear();
	walker.Walk(fd, rootPath.Path(), st.st_ino, &fResults);
	close(fd);

	fFetched = true;
	fCursor = 0;
	return B_OK;
}

status_t
BQuery::GetNextRef(entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	if (!fFetched)
		return B_NO_INIT;
	if (fCursor >= fResults.size())
		return B_ENTRY_NOT_FOUND;
	*ref = fResults[fCursor++];
	return B_OK;
}

status_t
BQuery::GetNextEntry(BEntry* entry, bool traverse)
{
	if (entry == nullptr)
		return B_BAD_VALUE;
	entry_ref ref;
	status_t status = GetNextRef(&ref);
	if (status != B_OK)
		return status;
	return entry->SetTo(&ref, traverse);
}

int32
BQuery::GetNextDirents(struct dirent* buffer, size_t length, int32 count)
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (!fFetched)
		return B_NO_INIT;
	// Records of the host's layout packed one after the other, each as long
	// as its name needs, as directories give them.
	int32 filled = 0;
	char* out = reinterpret_cast<char*>(buffer);
	size_t used = 0;
	while (filled < count && fCursor < fResults.size()) {
		const entry_ref& ref = fResults[fCursor];
		size_t recordLength = offsetof(struct dirent, d_name) + strlen(ref.name)
			+ 1;
		recordLength = (recordLength + alignof(struct dirent) - 1)
			& ~(alignof(struct dirent) - 1);
		if (used + recordLength > length) {
			if (filled == 0)
				return B_BAD_VALUE;
			break;
		}
		struct dirent* record = reinterpret_cast<struct dirent*>(out + used);
		struct stat st;
		BEntry entry(&ref);
		record->d_ino = entry.GetStat(&st) == B_OK ? st.st_ino : 0;
		record->d_off = (off_t)fCursor + 1;
		record->d_reclen = (unsigned short)recordLength;
		record->d_type = DT_UNKNOWN;
		strcpy(record->d_name, ref.name);
		used += recordLength;
		fCursor++;
		filled++;
	}
	return filled;
}

status_t
BQuery::Rewind()
{
	if (!fFetched)
		return B_NO_INIT;
	fCursor = 0;
	return B_OK;
}

int32
BQuery::CountEntries()
{
	if (!fFetched)
		return B_NO_INIT;
	return (int32)fResults.size();
}
