#ifndef PROCESSOR_PAIR_H
#define PROCESSOR_PAIR_H

// Keeps the calling thread and a partner thread that hand work to each
// other (the install worker and the progress window) on one processor while
// it lives, so that a hand-off is a switch between two threads rather than
// the wake-up of a sleeping processor. Where the host cannot do that,
// nothing happens. Processor sets are the host's business: the program's
// host layer defines this class (on Linux in host/ProcessorPair.cpp).

#include <OS.h>

class ProcessorPair {
public:
	explicit ProcessorPair(thread_id partner);
	~ProcessorPair();

	// Gives the calling thread every processor the program may use again:
	// for threads started by one of a pair (the decoding threads), which
	// must not wait for the pair's processor when another is free.
	static void SpreadCallingThread();

private:
	ProcessorPair(const ProcessorPair&) = delete;
	ProcessorPair& operator=(const ProcessorPair&) = delete;

	class HostPair;
	HostPair* fPair;
};

#endif // PROCESSOR_PAIR_H
