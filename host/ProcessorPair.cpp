// The installer's processor pair on this host: the kernel kit's private
// processor sharing, kept out of the installer's folders.

#include "ProcessorPair.h"

#include <SharedProcessor.h>

class ProcessorPair::HostPair : public BPrivate::SharedProcessor {
public:
	explicit HostPair(thread_id partner)
		:
		BPrivate::SharedProcessor(partner)
	{
	}
};


ProcessorPair::ProcessorPair(thread_id partner)
	:
	fPair(new HostPair(partner))
{
}


ProcessorPair::~ProcessorPair()
{
	delete fPair;
}


void
ProcessorPair::SpreadCallingThread()
{
	BPrivate::SharedProcessor::SpreadCallingThread();
}
