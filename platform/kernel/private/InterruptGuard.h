#ifndef _INTERRUPT_GUARD_H
#define _INTERRUPT_GUARD_H

// While a guard lives, an interrupt (SIGINT) or a termination request
// (SIGTERM) does not end the program: it is noted, and the work in progress
// asks Requested() at its cancellation points and winds down as if its user
// had cancelled it (putting back what it displaced). The first guard starts
// with nothing noted; when the last guard goes, both signals get back the
// effect they had before. The handler only stores the signal's number and
// raises the cancel flag a guard was given, so that work blocked in a wait
// (a running install script) learns of the request at once.

#include <SupportDefs.h>

namespace BPrivate {

class CancelFlag;

class InterruptGuard {
public:
	InterruptGuard();
	// While this guard lives, a signal also raises `flag` (which must
	// outlive the guard); once it goes, signals raise the flag of the guard
	// around it again, if that one has one.
	explicit InterruptGuard(CancelFlag* flag);
	~InterruptGuard();

	// An interrupt or termination request arrived since the first of the
	// live guards began; false when no guard lives.
	static bool Requested();
	// Its signal number (0: none).
	static int32 Signal();

private:
	InterruptGuard(const InterruptGuard&) = delete;
	InterruptGuard& operator=(const InterruptGuard&) = delete;

	CancelFlag* fFlag;
	CancelFlag* fOuterFlag;
};

} // namespace BPrivate

#endif // _INTERRUPT_GUARD_H
