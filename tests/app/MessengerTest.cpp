#include <BlockedThreads.h>
#include <Handler.h>
#include <Looper.h>
#include <Message.h>
#include <MessageLog.h>
#include <Messenger.h>
#include <ObjectRegistry.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

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

// Answers 'Ask ' with 'Answ' carrying the question's "value" doubled; drops
// 'Drop'; leaves everything else to the default handling.
class Responder : public BLooper {
public:
	Responder() : BLooper("responder") {}

	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case 'Ask ': {
				BMessage answer('Answ');
				answer.AddInt32("value", message->FindInt32("value") * 2);
				message->SendReply(&answer);
				break;
			}
			case 'Drop':
				break;
			case 'Slow':
				while (!fRelease)
					snooze(1000);
				message->SendReply('Done');
				break;
			case 'Conv': {
				// Replies and waits for the answer to the reply.
				BMessage answer('Answ');
				BMessage answerToAnswer;
				status_t status = message->SendReply(&answer, &answerToAnswer);
				// The answer's code is published before the status the
				// test waits on.
				fConversationWhat = answerToAnswer.what;
				fConversationStatus = status;
				break;
			}
			case 'Self': {
				BMessage reply;
				fSelfResult = BMessenger(nullptr, this).SendMessage('Echo', &reply);
				break;
			}
			default:
				BLooper::MessageReceived(message);
				break;
		}
	}

	std::atomic<bool> fRelease{false};
	std::atomic<status_t> fSelfResult{1};
	std::atomic<status_t> fConversationStatus{1};
	std::atomic<uint32> fConversationWhat{0};
};

} // namespace

TEST(Messenger, SynchronousRepliesAndTheirAbsence)
{
	auto* responder = new Responder;
	BMessenger messenger = Start(responder);
	EXPECT_TRUE(messenger.IsValid());
	EXPECT_TRUE(messenger.IsTargetLocal());

	BMessage question('Ask ');
	question.AddInt32("value", 21);
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage(&question, &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>('Answ'));
	EXPECT_EQ(reply.FindInt32("value"), 42);
	EXPECT_TRUE(reply.IsReply());
	ASSERT_NE(reply.Previous(), nullptr);
	EXPECT_EQ(reply.Previous()->what, static_cast<uint32>('Ask '));
	// The sender's own message is untouched: a copy was delivered.
	EXPECT_FALSE(question.WasDelivered());
	EXPECT_EQ(question.FindInt32("value"), 21);

	// Dropped without a reply: the sender hears B_NO_REPLY, and B_OK.
	ASSERT_EQ(messenger.SendMessage('Drop', &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>(B_NO_REPLY));

	// Nobody in the chain understood it.
	ASSERT_EQ(messenger.SendMessage('Huh?', &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>(B_MESSAGE_NOT_UNDERSTOOD));

	EXPECT_EQ(messenger.SendMessage(nullptr, &reply), B_BAD_VALUE);
	QuitFromOutside(responder);
}

TEST(Messenger, ReplyTimeoutAndSendingToItself)
{
	auto* responder = new Responder;
	BMessenger messenger = Start(responder);

	BMessage slow('Slow');
	BMessage reply('Untc');
	EXPECT_EQ(messenger.SendMessage(&slow, &reply, B_INFINITE_TIMEOUT, 30000), B_TIMED_OUT);
	responder->fRelease = true;
	// The late reply goes nowhere; the looper carries on.
	BMessage question('Ask ');
	question.AddInt32("value", 1);
	ASSERT_EQ(messenger.SendMessage(&question, &reply), B_OK);
	EXPECT_EQ(reply.FindInt32("value"), 2);

	// A looper cannot wait for its own answer.
	ASSERT_EQ(messenger.SendMessage('Self'), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return responder->fSelfResult.load() != 1; }));
	EXPECT_EQ(responder->fSelfResult.load(), B_BAD_VALUE);

	QuitFromOutside(responder);
}

TEST(Messenger, WaitingSendersHearNoReplyWhenTheLooperQuits)
{
	auto* responder = new Responder;
	BMessenger messenger = Start(responder);

	// Hold the looper so that the question is still queued when the looper
	// goes away (the looper's thread holds the first message, waiting for
	// the lock).
	ASSERT_TRUE(responder->Lock());
	ASSERT_EQ(responder->PostMessage('Frst'), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return !responder->IsMessageWaiting(); }));
	std::atomic<status_t> result{1};
	std::atomic<uint32> replyWhat{0};
	std::thread sender([&] {
		BMessage reply;
		BMessage question('Ask ');
		result = messenger.SendMessage(&question, &reply);
		replyWhat = reply.what;
	});
	ASSERT_TRUE(WaitUntil([&] { return responder->IsMessageWaiting(); }));
	responder->Quit();
	sender.join();
	EXPECT_EQ(result.load(), B_OK);
	EXPECT_EQ(replyWhat.load(), static_cast<uint32>(B_NO_REPLY));
}

TEST(Messenger, MessengerToAQuitLooperStaysInvalid)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	BMessenger messenger = Start(looper);
	BMessenger copy(messenger);
	EXPECT_EQ(copy, messenger);
	QuitFromOutside(looper);

	EXPECT_FALSE(messenger.IsValid());
	EXPECT_EQ(messenger.SendMessage('Late'), B_BAD_PORT_ID);
	BMessage reply;
	EXPECT_EQ(messenger.SendMessage('Late', &reply), B_BAD_PORT_ID);
	EXPECT_FALSE(messenger.LockTarget());
	BLooper* target = reinterpret_cast<BLooper*>(1);
	EXPECT_EQ(messenger.Target(&target), nullptr);
	EXPECT_EQ(target, nullptr);

	// New loopers, perhaps at the old address, are never reached through
	// the old messenger.
	for (int i = 0; i < 5; i++) {
		auto* fresh = new LoggingLooper(log);
		BMessenger freshMessenger = Start(fresh);
		EXPECT_NE(freshMessenger, messenger);
		EXPECT_EQ(messenger.SendMessage('Late'), B_BAD_PORT_ID);
		QuitFromOutside(fresh);
	}
	EXPECT_EQ(log->Count(), 0u);

	BMessenger empty;
	EXPECT_FALSE(empty.IsValid());
	EXPECT_EQ(empty.SendMessage('None'), B_BAD_PORT_ID);
}

TEST(Messenger, RepliesToNonWaitingSendersGoToTheirReplyTarget)
{
	auto replies = std::make_shared<MessageLog>();
	auto* replyLooper = new LoggingLooper(replies, "reply target");
	Start(replyLooper);
	auto* responder = new Responder;
	BMessenger messenger = Start(responder);

	BMessage question('Ask ');
	question.AddInt32("value", 5);
	ASSERT_EQ(messenger.SendMessage(&question, replyLooper), B_OK);
	ASSERT_TRUE(replies->WaitForCount(1));
	BMessage reply = replies->At(0);
	EXPECT_EQ(reply.what, static_cast<uint32>('Answ'));
	EXPECT_EQ(reply.FindInt32("value"), 10);
	EXPECT_TRUE(reply.IsReply());

	// Posting with a reply handler names it as the return address too.
	ASSERT_EQ(responder->PostMessage(&question, responder, replyLooper), B_OK);
	ASSERT_TRUE(replies->WaitForCount(2));

	QuitFromOutside(responder);
	QuitFromOutside(replyLooper);
}

TEST(Messenger, AReplyCanWaitForTheAnswerToIt)
{
	auto replies = std::make_shared<MessageLog>();
	auto* replyLooper = new LoggingLooper(replies, "answers replies");
	replyLooper->fAction = [](BLooper*, BMessage* message) {
		if (message->what == 'Answ')
			message->SendReply('Back');
	};
	Start(replyLooper);
	auto* responder = new Responder;
	BMessenger messenger = Start(responder);

	ASSERT_EQ(messenger.SendMessage('Conv', replyLooper), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return responder->fConversationStatus.load() != 1; }));
	EXPECT_EQ(responder->fConversationStatus.load(), B_OK);
	EXPECT_EQ(responder->fConversationWhat.load(), static_cast<uint32>('Back'));
	ASSERT_TRUE(replies->WaitForCount(1));
	EXPECT_TRUE(replies->At(0).IsReply());

	// A sender that waits takes the reply and cannot answer it.
	responder->fConversationStatus = 1;
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage('Conv', &reply), B_OK);
	EXPECT_EQ(reply.what, static_cast<uint32>('Answ'));
	ASSERT_TRUE(WaitUntil([&] { return responder->fConversationStatus.load() != 1; }));
	EXPECT_EQ(responder->fConversationWhat.load(), static_cast<uint32>(B_NO_REPLY));

	QuitFromOutside(responder);
	QuitFromOutside(replyLooper);
}

TEST(Messenger, IdleLoopersAndBlockedThreads)
{
	auto log = std::make_shared<MessageLog>();
	auto* busy = new LoggingLooper(log, "busy");
	std::atomic<bool> release{false};
	std::atomic<bool> inside{false};
	std::atomic<BMessage*> held{nullptr};
	busy->fAction = [&](BLooper* self, BMessage* message) {
		if (message->what == 'Busy') {
			inside = true;
			while (!release)
				snooze(1000);
		} else if (message->what == 'Hold') {
			held = self->DetachCurrentMessage();
		}
	};
	BMessenger busyMessenger = Start(busy);
	ASSERT_TRUE(WaitUntil([] { return BPrivate::ObjectRegistry::AreAllLoopersIdle(); }));

	ASSERT_EQ(busyMessenger.SendMessage('Busy'), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return inside.load(); }));
	EXPECT_FALSE(BPrivate::ObjectRegistry::AreAllLoopersIdle());
	release = true;
	ASSERT_TRUE(WaitUntil([] { return BPrivate::ObjectRegistry::AreAllLoopersIdle(); }));

	// A looper waiting for another's answer counts as idle: it can do
	// nothing until the other one moves.
	auto* waiter = new LoggingLooper(log, "waiter");
	std::atomic<uint32> replyWhat{0};
	waiter->fAction = [&](BLooper*, BMessage* message) {
		if (message->what == 'Wait') {
			BMessage reply;
			busyMessenger.SendMessage('Hold', &reply);
			replyWhat = reply.what;
		}
	};
	BMessenger waiterMessenger = Start(waiter);
	ASSERT_EQ(waiterMessenger.SendMessage('Wait'), B_OK);
	ASSERT_TRUE(WaitUntil([&] { return held.load() != nullptr; }));
	EXPECT_TRUE(WaitUntil([] { return BPrivate::ObjectRegistry::AreAllLoopersIdle(); }));
	EXPECT_TRUE(BPrivate::is_thread_blocked(waiter->Thread()));

	delete held.load();
	ASSERT_TRUE(WaitUntil([&] { return replyWhat.load() != 0; }));
	EXPECT_EQ(replyWhat.load(), static_cast<uint32>(B_NO_REPLY));

	QuitFromOutside(waiter);
	QuitFromOutside(busy);
}
