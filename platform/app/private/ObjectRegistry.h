#ifndef _OBJECT_REGISTRY_H
#define _OBJECT_REGISTRY_H

// The process's table of loopers and handlers, keyed by tokens that are
// never reused. Messengers hold tokens, not pointers, so a messenger to a
// looper that has gone finds nothing rather than whatever lives at the old
// address now.

#include <OS.h>

#include <memory>
#include <vector>

class BHandler;
class BLooper;

namespace BPrivate {

class LooperPort;

// The handler token that stands for "the looper's preferred handler".
const int32 kPreferredHandlerToken = -2;
const int32 kNoToken = -1;

class ObjectRegistry {
public:
	static int32 AddLooper(BLooper* looper, const std::shared_ptr<LooperPort>& port);
	static void RemoveLooper(int32 token);
	static std::shared_ptr<LooperPort> PortFor(int32 token);
	// The pointers below are only safe to use while the caller knows the
	// looper stays alive (it holds its lock, or is its thread).
	static BLooper* LooperFor(int32 token);
	static BLooper* LooperForThread(thread_id thread);
	static std::vector<BLooper*> Loopers();

	static int32 AddHandler(BHandler* handler);
	static void RemoveHandler(int32 token);
	static BHandler* HandlerFor(int32 token);

	// True when every looper's queue is empty and its thread waits for a
	// message or is blocked waiting for another thread.
	static bool AreAllLoopersIdle();
};

} // namespace BPrivate

#endif // _OBJECT_REGISTRY_H
