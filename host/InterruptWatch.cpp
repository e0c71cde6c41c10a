// The installer's interrupt watch on this host: the kernel kit's private
// signal guard, kept out of the installer's folders.

#include "InterruptWatch.h"

#include <InterruptGuard.h>

class InterruptWatch::HostGuard : public BPrivate::InterruptGuard {
public:
	explicit HostGuard(BPrivate::CancelFlag* flag)
		:
		BPrivate::InterruptGuard(flag)
	{
	}
};


InterruptWatch::InterruptWatch()
	:
	fGuard(new HostGuard(NULL))
{
}


InterruptWatch::InterruptWatch(BPrivate::CancelFlag* flag)
	:
	fGuard(new HostGuard(flag))
{
}


InterruptWatch::~InterruptWatch()
{
	delete fGuard;
}


bool
InterruptWatch::Requested()
{
	return BPrivate::InterruptGuard::Requested();
}
