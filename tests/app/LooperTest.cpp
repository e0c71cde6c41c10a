#include <Handler.h>
#include <Looper.h>
#include <Message.h>
#include <MessageLog.h>
#include <Messenger.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Starts a looper and gives back a messenger to it.
BMessenger
Start(BLooper* looper)
{
	EXPECT_GT(looper->Run(), 0);
	return BMessenger(nullptr, looper);
}

void
QuitFromOutside(BLooper* looper)
{
	ASSERT_TRUE(looper->Lock());
	looper->Quit();
}

class NamedHandler : public BHandler {
public:
	NamedHandler(const char* name, std::shared_ptr<MessageLog> log, bool passOn = false)
		:
		BHandler(name),
		fLog(std::move(log)),
		fPassOn(passOn)
	{
	}

	void MessageReceived(BMessage* message) override
	{
		fLog->Add(*message, find_thread(nullptr));
		if (fPassOn)
			BHandler::MessageReceived(message);
	}

private:
	std::shared_ptr<MessageLog> fLog;
	bool fPassOn;
};

} // namespace

TEST(Looper, RunsItsOwnThreadAndKeepsQueueOrder)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	EXPECT_TRUE(looper->IsLocked()) << "a new looper is locked by the thread that made it";
	EXPECT_EQ(looper->Thread(), -1);
	thread_id thread = looper->Run();
	ASSERT_GT(thread, 0);
	EXPECT_EQ(looper->Thread(), thread);
	EXPECT_FALSE(looper->IsLocked());
	EXPECT_EQ(looper->Run(), B_ALREADY_RUNNING);
	EXPECT_EQ(BLooper::LooperForThread(thread), looper);
	EXPECT_EQ(BLooper::LooperForThread(find_thread(nullptr)), nullptr);

	// Several senders at once: every message arrives, and each sender's
	// messages arrive in the order it sent them.
	const int kSenders = 4;
	const int kPerSender = 300;
	BMessenger messenger(nullptr, looper);
	std::vector<std::thread> senders;
	for (int sender = 0; sender < kSenders; sender++) {
		senders.emplace_back([messenger, sender] {
			for (int sequence = 0; sequence < kPerSender; sequence++) {
				BMessage message('Ordr');
				message.AddInt32("sender", sender);
				message.AddInt32("sequence", sequence);
				ASSERT_EQ(messenger.SendMessage(&message), B_OK);
			}
		});
	}
	for (auto& sender : senders)
		sender.join();
	ASSERT_TRUE(log->WaitForCount(kSenders * kPerSender));

	std::vector<int> next(kSenders, 0);
	for (size_t i = 0; i < log->Count(); i++) {
		BMessage message = log->At(i);
		int sender = message.FindInt32("sender");
		EXPECT_EQ(message.FindInt32("sequence"), next[sender]) << "sender " << sender;
		next[sender] = message.FindInt32("sequence") + 1;
		EXPECT_EQ(log->ThreadAt(i), thread) << "handled in the looper's own thread";
	}

	QuitFromOutside(looper);
}

TEST(Looper, QueueCapacityAndTimeouts)
{
	auto log = std::make_shared<MessageLog>();
	// Not yet running: nothing drains the queue.
	auto* looper = new LoggingLooper(log, "small queue", 3);
	for (int32 i = 0; i < 3; i++) {
		BMessage message('Fill');
		message.AddInt32("index", i);
		ASSERT_EQ(looper->PostMessage(&message), B_OK);
	}
	EXPECT_TRUE(looper->IsMessageWaiting());
	// Posting never waits; a messenger waits as long as it is told to.
	EXPECT_EQ(looper->PostMessage('Full'), B_WOULD_BLOCK);
	BMessenger messenger(nullptr, looper);
	BMessage extra('More');
	EXPECT_EQ(messenger.SendMessage(&extra, static_cast<BHandler*>(nullptr), 0), B_WOULD_BLOCK);
	EXPECT_EQ(messenger.SendMessage(&extra, static_cast<BHandler*>(nullptr), 20000), B_TIMED_OUT);
	BMessage reply;
	EXPECT_EQ(messenger.SendMessage(&extra, &reply, 20000, B_INFINITE_TIMEOUT), B_TIMED_OUT);

	// A sender with an infinite timeout waits until there is room.
	std::atomic<status_t> blockedResult{1};
	std::thread blocked([&] {
		BMessage last('Last');
		blockedResult = messenger.SendMessage(&last);
	});
	snooze(20000);
	EXPECT_EQ(blockedResult.load(), 1) << "the sender must wait while the queue is full";
	looper->Run();
	blocked.join();
	EXPECT_EQ(blockedResult.load(), B_OK);
	ASSERT_TRUE(log->WaitForCount(4));
	for (int32 i = 0; i < 3; i++)
		EXPECT_EQ(log->At(i).FindInt32("index"), i);
	EXPECT_EQ(log->At(3).what, static_cast<uint32>('Last'));

	QuitFromOutside(looper);
}

TEST(Looper, HoldingTheLockHoldsOffDispatch)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	BMessenger messenger = Start(looper);

	ASSERT_TRUE(looper->Lock());
	EXPECT_EQ(looper->LockingThread(), find_thread(nullptr));
	ASSERT_EQ(looper->PostMessage('Wait'), B_OK);
	snooze(50000);
	EXPECT_EQ(log->Count(), 0u);
	looper->Unlock();
	ASSERT_TRUE(log->WaitForCount(1));

	// Inside a message, the looper's thread holds the lock.
	std::atomic<thread_id> holder{-1};
	looper->fAction = [&](BLooper* self, BMessage*) { holder = self->LockingThread(); };
	ASSERT_EQ(messenger.SendMessage('Lock'), B_OK);
	ASSERT_TRUE(log->WaitForCount(2));
	EXPECT_EQ(holder.load(), looper->Thread());

	EXPECT_TRUE(messenger.LockTarget());
	EXPECT_TRUE(looper->IsLocked());
	looper->Unlock();
	// Another thread cannot take the lock while we hold it.
	ASSERT_TRUE(looper->Lock());
	std::atomic<status_t> otherResult{B_OK};
	std::thread([&] { otherResult = messenger.LockTargetWithTimeout(20000); }).join();
	EXPECT_EQ(otherResult.load(), B_TIMED_OUT);
	looper->Unlock();

	QuitFromOutside(looper);
}

TEST(Looper, CurrentMessageAndDetaching)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	BMessenger messenger = Start(looper);

	std::atomic<bool> sameMessage{false};
	std::atomic<BMessage*> detached{nullptr};
	looper->fAction = [&](BLooper* self, BMessage* message) {
		sameMessage = self->CurrentMessage() == message && message->WasDelivered();
		if (message->what == 'Dtch')
			detached = self->DetachCurrentMessage();
	};
	ASSERT_EQ(messenger.SendMessage('Curr'), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));
	EXPECT_TRUE(sameMessage);
	ASSERT_TRUE(looper->Lock());
	EXPECT_EQ(looper->CurrentMessage(), nullptr) << "no message outside dispatch";
	looper->Unlock();

	// A detached message stays alive after its dispatch; the sender keeps
	// waiting until someone replies to it.
	std::atomic<status_t> sendResult{1};
	BMessage reply;
	std::thread sender([&] {
		BMessage message('Dtch');
		sendResult = messenger.SendMessage(&message, &reply);
	});
	ASSERT_TRUE(WaitUntil([&] { return detached.load() != nullptr; }));
	snooze(20000);
	EXPECT_EQ(sendResult.load(), 1);
	BMessage* message = detached.load();
	EXPECT_TRUE(message->IsSourceWaiting());
	BMessage answer('Late');
	EXPECT_EQ(message->SendReply(&answer), B_OK);
	EXPECT_FALSE(message->IsSourceWaiting());
	EXPECT_EQ(message->SendReply(&answer), B_DUPLICATE_REPLY);
	sender.join();
	EXPECT_EQ(sendResult.load(), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>('Late'));
	// The looper logs the message after its action detached it: the copy is
	// made before the message goes.
	ASSERT_TRUE(log->WaitForCount(2));
	delete message;

	QuitFromOutside(looper);
}

TEST(Looper, QuitFromInsideEndsAfterTheCurrentMessage)
{
	auto log = std::make_shared<MessageLog>();
	auto destroyed = std::make_shared<std::atomic<bool>>(false);
	auto* looper = new LoggingLooper(log);
	looper->fDestroyed = destroyed;
	std::atomic<bool> ranAfterQuit{false};
	looper->fAction = [&](BLooper* self, BMessage* message) {
		if (message->what == 'Stop') {
			self->Quit();
			// Still here: the looper ends once this message is done.
			ranAfterQuit = true;
		}
	};
	looper->Lock();
	looper->Run();
	BMessenger messenger(nullptr, looper);
	ASSERT_EQ(looper->PostMessage('Stop'), B_OK);
	ASSERT_EQ(looper->PostMessage('Aftr'), B_OK);
	thread_id thread = looper->Thread();
	looper->Unlock();

	status_t exitValue;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_TRUE(ranAfterQuit);
	EXPECT_TRUE(*destroyed);
	ASSERT_EQ(log->Count(), 1u) << "nothing is handled after the quitting message";
	EXPECT_FALSE(messenger.IsValid());
}

TEST(Looper, QuitFromOutsideWaitsForTheLooperToEnd)
{
	auto log = std::make_shared<MessageLog>();
	auto destroyed = std::make_shared<std::atomic<bool>>(false);
	auto* looper = new LoggingLooper(log);
	looper->fDestroyed = destroyed;
	BMessenger messenger = Start(looper);
	ASSERT_EQ(messenger.SendMessage('Once'), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));

	ASSERT_TRUE(looper->Lock());
	ASSERT_TRUE(looper->Lock());
	looper->Quit();
	EXPECT_TRUE(*destroyed) << "Quit from another thread returns once the looper is gone";
	EXPECT_FALSE(messenger.IsValid());

	// A looper that never ran is simply deleted.
	auto neverRan = std::make_shared<std::atomic<bool>>(false);
	auto* idle = new LoggingLooper(log);
	idle->fDestroyed = neverRan;
	BMessenger idleMessenger(nullptr, idle);
	EXPECT_TRUE(idleMessenger.IsValid());
	idle->Quit();
	EXPECT_TRUE(*neverRan);
	EXPECT_FALSE(idleMessenger.IsValid());
}

TEST(Looper, QuitRequestedCanRefuse)
{
	auto log = std::make_shared<MessageLog>();
	auto destroyed = std::make_shared<std::atomic<bool>>(false);
	auto* looper = new LoggingLooper(log);
	looper->fDestroyed = destroyed;
	looper->fAllowQuit = false;
	BMessenger messenger = Start(looper);

	BMessage reply;
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>(B_REPLY));
	EXPECT_FALSE(reply.FindBool("result"));
	EXPECT_TRUE(messenger.IsValid());
	EXPECT_FALSE(*destroyed);
	EXPECT_EQ(log->Count(), 0u) << "the quit request is not passed to MessageReceived";

	looper->fAllowQuit = true;
	thread_id thread = looper->Thread();
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);
	EXPECT_TRUE(reply.FindBool("result"));
	status_t exitValue;
	wait_for_thread(thread, &exitValue);
	EXPECT_TRUE(WaitUntil([&] { return destroyed->load(); }));
	EXPECT_FALSE(messenger.IsValid());
}

TEST(Looper, HandlersPreferredHandlerAndChain)
{
	auto looperLog = std::make_shared<MessageLog>();
	auto handlerLog = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(looperLog);
	NamedHandler first("first", handlerLog);
	NamedHandler passing("passing", handlerLog, true);

	EXPECT_EQ(looper->CountHandlers(), 1);
	EXPECT_EQ(looper->HandlerAt(0), looper);
	EXPECT_EQ(looper->Looper(), looper);
	looper->AddHandler(&first);
	looper->AddHandler(&passing);
	EXPECT_EQ(looper->CountHandlers(), 3);
	EXPECT_EQ(looper->IndexOf(&passing), 2);
	EXPECT_EQ(first.Looper(), looper);
	EXPECT_EQ(first.NextHandler(), looper);
	EXPECT_STREQ(first.Name(), "first");

	BMessenger toFirst(&first);
	BMessenger toPassing(&passing, looper);
	BMessenger toPreferred(nullptr, looper);
	BLooper* targetLooper = nullptr;
	EXPECT_EQ(toFirst.Target(&targetLooper), &first);
	EXPECT_EQ(targetLooper, looper);
	EXPECT_EQ(toPreferred.Target(&targetLooper), nullptr);
	EXPECT_NE(toFirst, toPassing);
	EXPECT_EQ(toFirst, BMessenger(&first));

	status_t status;
	NamedHandler loose("loose", handlerLog);
	BMessenger invalid(&loose, nullptr, &status);
	EXPECT_EQ(status, B_MISMATCHED_VALUES);
	EXPECT_FALSE(invalid.IsValid());
	EXPECT_EQ(looper->PostMessage('Nope', &loose), B_MISMATCHED_VALUES);
	EXPECT_EQ(BMessenger(nullptr, nullptr, &status).IsValid(), false);
	EXPECT_EQ(status, B_BAD_VALUE);

	looper->Run();
	ASSERT_EQ(toFirst.SendMessage('One1'), B_OK);
	ASSERT_TRUE(handlerLog->WaitForCount(1));
	// A handler that passes a message on hands it to its next handler, the
	// looper.
	ASSERT_EQ(toPassing.SendMessage('Pass'), B_OK);
	ASSERT_TRUE(looperLog->WaitForCount(1));
	EXPECT_EQ(looperLog->At(0).what, static_cast<uint32>('Pass'));
	EXPECT_EQ(handlerLog->Count(), 2u);

	ASSERT_TRUE(looper->Lock());
	looper->SetPreferredHandler(&first);
	EXPECT_EQ(looper->PreferredHandler(), &first);
	looper->SetPreferredHandler(&loose);
	EXPECT_EQ(looper->PreferredHandler(), nullptr) << "only a handler of this looper";
	looper->SetPreferredHandler(&first);
	looper->Unlock();
	ASSERT_EQ(toPreferred.SendMessage('Pref'), B_OK);
	ASSERT_TRUE(handlerLog->WaitForCount(3));
	EXPECT_EQ(handlerLog->At(2).what, static_cast<uint32>('Pref'));

	// A handler that left the looper gets nothing more; a sender that waits
	// learns that no reply comes.
	ASSERT_TRUE(looper->Lock());
	EXPECT_TRUE(looper->RemoveHandler(&first));
	EXPECT_FALSE(looper->RemoveHandler(&first));
	EXPECT_FALSE(looper->RemoveHandler(looper));
	EXPECT_EQ(looper->PreferredHandler(), nullptr);
	EXPECT_EQ(first.Looper(), nullptr);
	looper->Unlock();
	BMessage reply;
	ASSERT_EQ(toFirst.SendMessage('Gone', &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>(B_NO_REPLY));
	EXPECT_EQ(handlerLog->Count(), 3u);

	ASSERT_TRUE(passing.LockLooper());
	EXPECT_TRUE(looper->IsLocked());
	passing.UnlockLooper();
	EXPECT_FALSE(first.LockLooper());
	QuitFromOutside(looper);
	EXPECT_EQ(passing.Looper(), nullptr) << "a looper's end detaches its handlers";
}
