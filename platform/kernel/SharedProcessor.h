#ifndef _SHARED_PROCESSOR_H
#define _SHARED_PROCESSOR_H

// Keeps the calling thread and a partner thread on one processor while it
// lives: two threads that hand work to each other and wait for the answer
// (the install worker and the progress window, one answered message per
// chunk written) never run at once, yet the system scheduler spreads them
// over two processors, and then every hand-off has to wake a processor
// that sleeps: on a virtual machine that wait is longer than the work. On
// one processor a hand-off is a switch between two threads. Everything
// else (the decoding threads, other programs) keeps the other processors.
//
// The processor is the one the calling thread runs on when it is made.
// Nothing happens with one usable processor or when the system refuses;
// the threads' former processor sets come back when it ends.
//
//   BPrivate::SharedProcessor together(windowThread);

#include <OS.h>

#include <sched.h>

#include <mutex>

namespace BPrivate {

class SharedProcessor {
public:
	explicit SharedProcessor(thread_id partner);
	~SharedProcessor();

	// Whether the two threads were put on one processor.
	bool IsShared() const { return fShared; }

	// Gives the calling thread the processors the pair sharing one now had
	// before, but that one when others remain (without a pair: those of the
	// program's main thread). A thread that works beside the pair belongs
	// there: it inherits its maker's set, and one started by a thread of the
	// pair would share its processor too.
	static void MoveCallingThreadAside();
	// The processors the program's work may use: those of the thread that
	// made the pair sharing one now, else those of the main thread. A
	// program the installer starts gets them all back (it inherits the set
	// of the thread that starts it).
	static bool ProgramProcessors(cpu_set_t* processors);

private:
	SharedProcessor(const SharedProcessor&) = delete;
	SharedProcessor& operator=(const SharedProcessor&) = delete;

	thread_id fSelf;
	thread_id fPartner;
	cpu_set_t fSelfFormer;
	cpu_set_t fPartnerFormer;
	bool fShared;

	// The processors for threads beside the pair that shares one now.
	static std::mutex sAsideLock;
	static bool sPaired;
	static cpu_set_t sProgram;
	static cpu_set_t sAside;
};

} // namespace BPrivate

#endif // _SHARED_PROCESSOR_H
