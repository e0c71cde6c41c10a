#ifndef _INTERRUPT_GUARD_H
#define _INTERRUPT_GUARD_H

// While a guard lives, an interrupt (SIGINT) or a termination request
// (SIGTERM) does not end the program: it is noted, and the work in progress
// asks Requested() at its cancellation points and winds down as if its user
// had cancelled it (putting back what it displaced). The first guard starts
// with nothing noted; when the last guard goes, both signals get back the
// effect they had before. The handler only stores the signal's number.

#include <SupportDefs.h>

namespace BPrivate {

class InterruptGuard {
public:
	InterruptGuard();
	~InterruptGuard();

	// An interrupt or termination request arrived since the first of the
	// live guards began; false when no guard lives.
	static bool Requested();
	// Its signal number (0: none).
	static int32 Signal();

private:
	InterruptGuard(const InterruptGuard&) = delete;
	InterruptGuard& operator=(const InterruptGuard&) = delete;
};

} // namespace BPrivate

#endif // _INTERRUPT_GUARD_H
