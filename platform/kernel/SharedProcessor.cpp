#include <SharedProcessor.h>

#include <unistd.h>

namespace BPrivate {

std::mutex SharedProcessor::sProgramLock;
bool SharedProcessor::sPaired = false;
cpu_set_t SharedProcessor::sProgram;

SharedProcessor::SharedProcessor(thread_id partner)
	:
	fSelf(find_thread(nullptr)),
	fPartner(partner),
	fShared(false)
{
	CPU_ZERO(&fSelfFormer);
	CPU_ZERO(&fPartnerFormer);
	if (partner < 0 || partner == fSelf
		|| sched_getaffinity(fSelf, sizeof(fSelfFormer), &fSelfFormer) != 0
		|| sched_getaffinity(fPartner, sizeof(fPartnerFormer), &fPartnerFormer) != 0
		|| CPU_COUNT(&fSelfFormer) < 2)
		return;
	int processor = sched_getcpu();
	if (processor < 0 || !CPU_ISSET(processor, &fSelfFormer)
		|| !CPU_ISSET(processor, &fPartnerFormer))
		return;
	cpu_set_t one;
	CPU_ZERO(&one);
	CPU_SET(processor, &one);
	if (sched_setaffinity(fSelf, sizeof(one), &one) != 0)
		return;
	if (sched_setaffinity(fPartner, sizeof(one), &one) != 0) {
		sched_setaffinity(fSelf, sizeof(fSelfFormer), &fSelfFormer);
		return;
	}
	fShared = true;
	std::lock_guard<std::mutex> lock(sProgramLock);
	sPaired = true;
	sProgram = fSelfFormer;
}

void
SharedProcessor::SpreadCallingThread()
{
	cpu_set_t processors;
	if (ProgramProcessors(&processors))
		sched_setaffinity(0, sizeof(processors), &processors);
}

bool
SharedProcessor::ProgramProcessors(cpu_set_t* processors)
{
	std::lock_guard<std::mutex> lock(sProgramLock);
	if (sPaired) {
		*processors = sProgram;
		return true;
	}
	return sched_getaffinity(getpid(), sizeof(*processors), processors) == 0;
}

SharedProcessor::~SharedProcessor()
{
	if (!fShared)
		return;
	{
		std::lock_guard<std::mutex> lock(sProgramLock);
		sPaired = false;
	}
	sched_setaffinity(fSelf, sizeof(fSelfFormer), &fSelfFormer);
	// The partner may have ended meanwhile: nothing is left to give back.
	sched_setaffinity(fPartner, sizeof(fPartnerFormer), &fPartnerFormer);
}

} // namespace BPrivate
