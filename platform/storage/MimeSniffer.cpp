#include <MimeSniffer.h>

#include <magic.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace {

// One magic cookie for the process: loading the database is costly, and a
// cookie must not be used by two threads at once.
std::mutex sMagicLock;
magic_t sMagic = nullptr;
bool sMagicTried = false;

magic_t
magic_cookie()
{
	if (!sMagicTried) {
		sMagicTried = true;
		sMagic = magic_open(MAGIC_MIME_TYPE | MAGIC_ERROR);
		if (sMagic != nullptr && magic_load(sMagic, nullptr) != 0) {
			magic_close(sMagic);
			sMagic = nullptr;
		}
	}
	return sMagic;
}

} // namespace

status_t
sniff_mime_type(const void* data, size_t length, std::string* type)
{
	if (type == nullptr || (data == nullptr && length > 0))
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> lock(sMagicLock);
	magic_t cookie = magic_cookie();
	if (cookie == nullptr)
		return B_UNSUPPORTED;
	const char* result = magic_buffer(cookie, length > 0 ? data : "", length);
	if (result == nullptr)
		return B_ERROR;
	*type = result;
	return B_OK;
}

status_t
sniff_mime_type(int fd, std::string* type)
{
	std::vector<uint8> buffer(kMimeSniffLength);
	ssize_t length = pread(fd, buffer.data(), buffer.size(), 0);
	if (length < 0)
		return errno_status();
	return sniff_mime_type(buffer.data(), (size_t)length, type);
}
