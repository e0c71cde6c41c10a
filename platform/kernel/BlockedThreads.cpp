#include <BlockedThreads.h>

#include <map>
#include <mutex>

namespace {

// Never destroyed: a window's thread may still wait for another while the
// exit handlers run.
std::mutex sLock;
std::map<thread_id, int32>& sBlockedCounts = *new std::map<thread_id, int32>;

} // namespace

namespace BPrivate {

bool
is_thread_blocked(thread_id thread)
{
	std::lock_guard<std::mutex> guard(sLock);
	return sBlockedCounts.count(thread) != 0;
}

BlockedThreadScope::BlockedThreadScope()
	:
	fThread(find_thread(nullptr))
{
	std::lock_guard<std::mutex> guard(sLock);
	sBlockedCounts[fThread]++;
}

BlockedThreadScope::~BlockedThreadScope()
{
	std::lock_guard<std::mutex> guard(sLock);
	auto found = sBlockedCounts.find(fThread);
	if (found != sBlockedCounts.end() && --found->second == 0)
		sBlockedCounts.erase(found);
}

} // namespace BPrivate
