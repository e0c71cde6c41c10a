#include "RunEvents.h"

#include "DestManager.h"

#include <atomic>

namespace {

std::atomic<RunObserver*> sObserver{nullptr};

} // namespace


RunObserver::~RunObserver()
{
}


void
RunEvents::SetObserver(RunObserver* observer)
{
	sObserver.store(observer);
}


bool
RunEvents::Watched()
{
	return sObserver.load() != nullptr;
}


void
RunEvents::RunStarted(const RunStart& start)
{
	if (RunObserver* observer = sObserver.load())
		observer->RunStarted(start);
}


void
RunEvents::ItemStarted(DestManager* manager, BDirectory* folder, const char* name,
	const char* kind)
{
	RunObserver* observer = sObserver.load();
	if (observer == nullptr || name == nullptr)
		return;
	// An item whose folder could not be found or made is known by its name.
	observer->ItemStarted(manager != nullptr && folder != nullptr
		? manager->PlatformPath(folder, name) : std::string(name), kind);
}


void
RunEvents::ItemEnded(const RunItem& item)
{
	if (RunObserver* observer = sObserver.load())
		observer->ItemEnded(item);
}


void
RunEvents::ItemFailed(const char* name, const std::string& reason)
{
	if (RunObserver* observer = sObserver.load())
		observer->ItemFailed(name != nullptr ? name : "", reason);
}


void
RunEvents::BytesDone(int64 bytes)
{
	if (RunObserver* observer = sObserver.load())
		observer->BytesDone(bytes);
}


void
RunEvents::Asked(const RunQuestion& question)
{
	if (RunObserver* observer = sObserver.load())
		observer->Asked(question);
}


void
RunEvents::RunEnded(const InstallOutcome& outcome)
{
	if (RunObserver* observer = sObserver.load())
		observer->RunEnded(outcome);
}
