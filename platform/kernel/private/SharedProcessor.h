#ifndef _SHARED_PROCESSOR_H
#define _SHARED_PROCESSOR_H

// Keeps the calling thread and a partner thread on one processor while it
// lives: two threads that hand work to each other and wait for the answer
// (the install worker and the progress window, one answered message per
// chunk written) never run at once, yet the system scheduler spreads them
// over two processors, and then every hand-off has to wake a processor
// that sleeps: on a virtual machine that wait is longer than the work. On
// one processor a hand-off is a switch between two threads. Everything
// else (the decoding threads, other programs) may use every processor.
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

	// The processors the program's work may use: those the thread that
	// made the pair sharing one now had before, else those of the main
	// thread. Threads and programs started by a thread of the pair inherit
	// its one processor and get these back: the decoding threads, which
	// must not wait for the pair's processor when another is free, and the
	// install scripts.
	static bool ProgramProcessors(cpu_set_t* processors);
	// Gives the calling thread the program's processors.
	static void SpreadCallingThread();

private:
	SharedProcessor(const SharedProcessor&) = delete;
	SharedProcessor& operator=(const SharedProcessor&) = delete;

	thread_id fSelf;
	thread_id fPartner;
	cpu_set_t fSelfFormer;
	cpu_set_t fPartnerFormer;
	bool fShared;

	// The program's processors while a pair shares one of them.
	static std::mutex sProgramLock;
	static bool sPaired;
	static cpu_set_t sProgram;
};

} // namespace BPrivate

#endif // _SHARED_PROCESSOR_H
