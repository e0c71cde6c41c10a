#ifndef _LOOPER_H
#define _LOOPER_H

// A handler with its own thread and message queue. The looper is locked
// while its thread dispatches a message, so a thread that holds the lock
// holds off dispatching. A new looper is locked by the thread that made it;
// Run() starts the thread and lets go of that lock.

#include <AppDefs.h>
#include <Handler.h>
#include <List.h>
#include <OS.h>

#include <memory>

class BMessage;
class BMessenger;

namespace BPrivate {
class LooperPort;
}

class BLooper : public BHandler {
public:
	explicit BLooper(const char* name = nullptr, int32 priority = B_NORMAL_PRIORITY,
		int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
	~BLooper() override;

	// Posting: a copy of the message goes to the end of the queue. A full
	// queue fails with B_WOULD_BLOCK rather than waiting.
	status_t PostMessage(uint32 command);
	status_t PostMessage(BMessage* message);
	status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = nullptr);
	status_t PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo = nullptr);

	// Called in the looper's thread with the looper locked. The default
	// handles B_QUIT_REQUESTED addressed to the looper itself (QuitRequested,
	// then Quit) and passes everything else to the handler.
	virtual void DispatchMessage(BMessage* message, BHandler* handler);
	void MessageReceived(BMessage* message) override;
	BMessage* CurrentMessage() const { return fCurrentMessage; }
	// The caller takes over the message being handled (and the duty to
	// reply, when the sender waits).
	BMessage* DetachCurrentMessage();
	bool IsMessageWaiting() const;

	void AddHandler(BHandler* handler);
	bool RemoveHandler(BHandler* handler);
	int32 CountHandlers() const;
	BHandler* HandlerAt(int32 index) const;
	int32 IndexOf(BHandler* handler) const;
	BHandler* PreferredHandler() const { return fPreferred; }
	void SetPreferredHandler(BHandler* handler);

	// Starts the looper's thread and returns its id.
	virtual thread_id Run();
	// From the looper's thread: the looper stops after the current message
	// and deletes itself. From another thread (which must hold the lock):
	// the looper's thread is stopped and waited for, and the looper
	// deleted. A looper that never ran is just deleted.
	virtual void Quit();
	virtual bool QuitRequested();

	bool Lock();
	void Unlock();
	status_t LockWithTimeout(bigtime_t timeout);
	bool IsLocked() const;
	thread_id LockingThread() const;
	int32 CountLocks() const;

	thread_id Thread() const { return fThread; }
	team_id Team() const;
	static BLooper* LooperForThread(thread_id thread);

protected:
	// The message loop itself: runs until the looper is told to quit. Used
	// by the looper's thread, and by the application on the main thread.
	void _RunLoop();
	// Marks the looper as quitting and wakes its loop.
	void _StopLoop();
	bool _IsQuitting() const { return fQuitting; }
	void _SetThread(thread_id thread);
	// Puts a message (which the looper takes over) before all others,
	// addressed to the looper itself.
	void _PostFront(BMessage* message);
	// Holds a message (which the looper takes over on success) addressed to
	// the looper itself back until the system time `when`; B_BUSY while an
	// earlier one is still held.
	status_t _PostAt(BMessage* message, bigtime_t when);
	// Takes the first queued message that match accepts out of the queue
	// (the caller owns it), or nullptr.
	BMessage* _TakeQueuedMessage(bool (*match)(const BMessage* message));

private:
	friend class BMessenger;
	friend class BHandler;

	static int32 _ThreadEntry(void* looper);
	BHandler* _ResolveTarget(const BMessage* message);
	void _QuitRequested(BMessage* message);
	void _Unregister();

	std::shared_ptr<BPrivate::LooperPort> fPort;
	int32 fLooperToken;
	int32 fPriority;
	thread_id fThread;
	bool fRunCalled;
	bool fQuitting;
	BList fHandlers;
	BHandler* fPreferred;
	BMessage* fCurrentMessage;
};

#endif // _LOOPER_H
