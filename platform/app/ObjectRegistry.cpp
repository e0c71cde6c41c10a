#include <ObjectRegistry.h>

#include <BlockedThreads.h>
#include <LooperPort.h>

#include <map>
#include <mutex>

namespace BPrivate {

namespace {

struct LooperEntry {
	BLooper* looper;
	std::shared_ptr<LooperPort> port;
};

std::mutex sLock;
std::map<int32, LooperEntry> sLoopers;
std::map<int32, BHandler*> sHandlers;
int32 sNextLooperToken = 1;
int32 sNextHandlerToken = 1;

} // namespace

int32
ObjectRegistry::AddLooper(BLooper* looper, const std::shared_ptr<LooperPort>& port)
{
	std::lock_guard<std::mutex> guard(sLock);
	int32 token = sNextLooperToken++;
	sLoopers[token] = LooperEntry{looper, port};
	return token;
}

void
ObjectRegistry::RemoveLooper(int32 token)
{
	std::lock_guard<std::mutex> guard(sLock);
	sLoopers.erase(token);
}

std::shared_ptr<LooperPort>
ObjectRegistry::PortFor(int32 token)
{
	std::lock_guard<std::mutex> guard(sLock);
	auto found = sLoopers.find(token);
	return found != sLoopers.end() ? found->second.port : nullptr;
}

BLooper*
ObjectRegistry::LooperFor(int32 token)
{
	std::lock_guard<std::mutex> guard(sLock);
	auto found = sLoopers.find(token);
	return found != sLoopers.end() ? found->second.looper : nullptr;
}

BLooper*
ObjectRegistry::LooperForThread(thread_id thread)
{
	std::lock_guard<std::mutex> guard(sLock);
	for (const auto& [token, entry] : sLoopers) {
		if (entry.port->Thread() == thread)
			return entry.looper;
	}
	return nullptr;
}

std::vector<BLooper*>
ObjectRegistry::Loopers()
{
	std::lock_guard<std::mutex> guard(sLock);
	std::vector<BLooper*> loopers;
	for (const auto& [token, entry] : sLoopers)
		loopers.push_back(entry.looper);
	return loopers;
}

int32
ObjectRegistry::AddHandler(BHandler* handler)
{
	std::lock_guard<std::mutex> guard(sLock);
	int32 token = sNextHandlerToken++;
	sHandlers[token] = handler;
	return token;
}

void
ObjectRegistry::RemoveHandler(int32 token)
{
	std::lock_guard<std::mutex> guard(sLock);
	sHandlers.erase(token);
}

BHandler*
ObjectRegistry::HandlerFor(int32 token)
{
	std::lock_guard<std::mutex> guard(sLock);
	auto found = sHandlers.find(token);
	return found != sHandlers.end() ? found->second : nullptr;
}

bool
ObjectRegistry::AreAllLoopersIdle()
{
	std::vector<std::shared_ptr<LooperPort>> ports;
	{
		std::lock_guard<std::mutex> guard(sLock);
		for (const auto& [token, entry] : sLoopers)
			ports.push_back(entry.port);
	}
	for (const auto& port : ports) {
		// A looper that never ran has no thread to make progress with.
		if (port->Thread() < 0)
			continue;
		// A thread blocked on another thread can do nothing until that one
		// has moved, whatever its queue holds.
		if (port->IsIdle() || is_thread_blocked(port->Thread()))
			continue;
		return false;
	}
	return true;
}

} // namespace BPrivate
