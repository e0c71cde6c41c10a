#ifndef INTERRUPT_WATCH_H
#define INTERRUPT_WATCH_H

// While a watch lives, an interrupt or a termination request does not end
// the program: it is noted, the work in progress asks Requested() at its
// cancellation points and winds down as if its user had cancelled it, and
// the cancel flag given (if any) is raised so that work blocked in a wait
// learns of it at once. Signals are the host's business, so the installer
// only declares the watch: the program's host layer defines it (on Linux in
// host/InterruptWatch.cpp), and a port to another system brings its own.

#include <SupportDefs.h>

namespace BPrivate {
class CancelFlag;
}

class InterruptWatch {
public:
	InterruptWatch();
	explicit InterruptWatch(BPrivate::CancelFlag* flag);
	~InterruptWatch();

	// A request arrived since the outermost live watch began; false when
	// none lives.
	static bool Requested();

private:
	InterruptWatch(const InterruptWatch&) = delete;
	InterruptWatch& operator=(const InterruptWatch&) = delete;

	class HostGuard;
	HostGuard* fGuard;
};

#endif // INTERRUPT_WATCH_H
