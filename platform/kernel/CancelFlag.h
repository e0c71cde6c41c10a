#ifndef _CANCEL_FLAG_H
#define _CANCEL_FLAG_H

// A flag that one thread, or a signal handler, raises to stop work another
// thread is blocked in: the waiting thread polls WaitDescriptor() beside
// whatever else it waits for, and wakes the moment the flag goes up. The
// descriptor is the flag's one state, so a raise that races a Clear() is
// either seen whole or not at all.
//
//   BPrivate::CancelFlag flag;
//   ... another thread, or a signal handler: flag.Raise();
//   ... the waiting thread: poll() on flag.WaitDescriptor() and its child.

#include <atomic>

namespace BPrivate {

class CancelFlag {
public:
								CancelFlag();
								~CancelFlag();

			// Async-signal-safe. Raising a raised flag changes nothing.
			void				Raise();
			void				Clear();
			bool				IsRaised() const;

			// Readable while the flag is raised; -1 when the host gave no
			// descriptor (the flag then only answers IsRaised()).
			int					WaitDescriptor() const { return fDescriptor; }

private:
								CancelFlag(const CancelFlag&) = delete;
			CancelFlag&			operator=(const CancelFlag&) = delete;

			int					fDescriptor;
			// Stands in for the descriptor when there is none.
			std::atomic<bool>	fRaised;
};

} // namespace BPrivate

#endif // _CANCEL_FLAG_H
