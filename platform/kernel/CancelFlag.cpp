#include "CancelFlag.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace BPrivate {

CancelFlag::CancelFlag()
	:
	fDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
	fRaised(false)
{
}


CancelFlag::~CancelFlag()
{
	if (fDescriptor >= 0)
		close(fDescriptor);
}


void
CancelFlag::Raise()
{
	if (fDescriptor < 0) {
		fRaised = true;
		return;
	}
	// The counter only grows: a write that would overflow it (never, in
	// practice) finds the flag raised already.
	uint64_t one = 1;
	while (write(fDescriptor, &one, sizeof(one)) < 0 && errno == EINTR)
		;
}


void
CancelFlag::Clear()
{
	fRaised = false;
	if (fDescriptor < 0)
		return;
	uint64_t count;
	while (read(fDescriptor, &count, sizeof(count)) < 0 && errno == EINTR)
		;
}


bool
CancelFlag::IsRaised() const
{
	if (fDescriptor < 0)
		return fRaised;
	struct pollfd entry = {fDescriptor, POLLIN, 0};
	int ready;
	while ((ready = poll(&entry, 1, 0)) < 0 && errno == EINTR)
		;
	return ready > 0 && (entry.revents & POLLIN) != 0;
}

} // namespace BPrivate
