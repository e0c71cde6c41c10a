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

struct Registry {
	std::mutex lock;
	std::map<int32, LooperEntry> loopers;
	std::map<int32, BHandler*> handlers;
	int32 nextLooperToken = 1;
	int32 nextHandlerToken = 1;
};

// Made once and never destroyed: window threads may still be deleting their
// windows while the process runs its exit handlers.
Registry&
State()
{
	static Registry* registry = new Registry;
	return *registry;
}

} // namespace

int32
ObjectRegistry::AddLooper(BLooper* looper, const std::shared_ptr<LooperPort>& port)
{
	std::lock_guard<std::mutex> guard(State().lock);
	int32 token = State().nextLooperToken++;
	State().loopers[token] = LooperEntry{looper, port};
	return token;
}

void
ObjectRegistry::RemoveLooper(int32 token)
{
	std::lock_guard<std::mutex> guard(State().lock);
	State().loopers.erase(token);
}

std::shared_ptr<LooperPort>
ObjectRegistry::PortFor(int32 token)
{
	std::lock_guard<std::mutex> guard(State().lock);
	auto found = State().loopers.find(token);
	return found != State().loopers.end() ? found->second.port : nullptr;
}

BLooper*
ObjectRegistry::LooperFor(int32 token)
{
	std::lock_guard<std::mutex> guard(State().lock);
	auto found = State().loopers.find(token);
	return found != State().loopers.end() ? found->second.looper : nullptr;
}

BLooper*
ObjectRegistry::LooperForThread(thread_id thread)
{
	std::lock_guard<std::mutex> guard(State().lock);
	for (const auto& [token, entry] : State().loopers) {
		if (entry.port->Thread() == thread)
			return entry.looper;
	}
	return nullptr;
}

std::vector<BLooper*>
ObjectRegistry::Loopers()
{
	std::lock_guard<std::mutex> guard(State().lock);
	std::vector<BLooper*> loopers;
	for (const auto& [token, entry] : State().loopers)
		loopers.push_back(entry.looper);
	return loopers;
}

int32
ObjectRegistry::AddHandler(BHandler* handler)
{
	std::lock_guard<std::mutex> guard(State().lock);
	int32 token = State().nextHandlerToken++;
	State().handlers[token] = handler;
	return token;
}

void
ObjectRegistry::RemoveHandler(int32 token)
{
	std::lock_guard<std::mutex> guard(State().lock);
	State().handlers.erase(token);
}

BHandler*
ObjectRegistry::HandlerFor(int32 token)
{
	std::lock_guard<std::mutex> guard(State().lock);
	auto found = State().handlers.find(token);
	return found != State().handlers.end() ? found->second : nullptr;
}

bool
ObjectRegistry::AreAllLoopersIdle()
{
	std::vector<std::shared_ptr<LooperPort>> ports;
	{
		std::lock_guard<std::mutex> guard(State().lock);
		for (const auto& [token, entry] : State().loopers)
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
