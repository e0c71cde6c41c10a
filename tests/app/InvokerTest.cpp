#include <Handler.h>
#include <Invoker.h>
#include <Looper.h>
#include <Message.h>
#include <MessageLog.h>

#include <gtest/gtest.h>

namespace {

// Something that is a handler and an invoker at once, as a control is: the
// "source" its messages carry must be the whole object.
class Control : public BHandler, public BInvoker {
public:
	Control(BMessage* message) : BHandler("control"), BInvoker(message, nullptr, nullptr)
	{
		SetInvokeSource(static_cast<BHandler*>(this));
	}
};

} // namespace

TEST(Invoker, SendsCopiesWithWhenAndSource)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	ASSERT_GT(looper->Run(), 0);

	BMessage* model = new BMessage('Clck');
	model->AddInt32("index", 3);
	BInvoker invoker(model, looper);
	EXPECT_EQ(invoker.Message(), model);
	EXPECT_EQ(invoker.Command(), static_cast<uint32>('Clck'));
	BLooper* targetLooper = nullptr;
	EXPECT_EQ(invoker.Target(&targetLooper), looper);
	EXPECT_EQ(targetLooper, looper);
	EXPECT_TRUE(invoker.Messenger().IsValid());

	bigtime_t before = system_time();
	ASSERT_EQ(invoker.Invoke(), B_OK);
	ASSERT_EQ(invoker.Invoke(), B_OK);
	ASSERT_TRUE(log->WaitForCount(2));
	BMessage first = log->At(0);
	EXPECT_EQ(first.what, static_cast<uint32>('Clck'));
	EXPECT_EQ(first.FindInt32("index"), 3);
	int64 when = 0;
	ASSERT_EQ(first.FindInt64("when", &when), B_OK);
	EXPECT_GE(when, before);
	EXPECT_LE(when, system_time());
	void* source = nullptr;
	ASSERT_EQ(first.FindPointer("source", &source), B_OK);
	EXPECT_EQ(source, &invoker);
	// Each invocation adds its own fields to a fresh copy of the model.
	EXPECT_FALSE(log->At(1).HasInt64("when", 1));
	EXPECT_FALSE(model->HasInt64("when"));
	EXPECT_FALSE(model->HasPointer("source"));

	// An explicit message goes instead of the model.
	BMessage other('Othr');
	ASSERT_EQ(invoker.Invoke(&other), B_OK);
	ASSERT_TRUE(log->WaitForCount(3));
	EXPECT_EQ(log->At(2).what, static_cast<uint32>('Othr'));
	EXPECT_TRUE(log->At(2).HasPointer("source"));

	// The model can be replaced; with none there is nothing to send.
	invoker.SetMessage(nullptr);
	EXPECT_EQ(invoker.Command(), 0u);
	EXPECT_EQ(invoker.Invoke(), B_BAD_VALUE);

	ASSERT_TRUE(looper->Lock());
	looper->Quit();
	invoker.SetMessage(new BMessage('Late'));
	EXPECT_EQ(invoker.Invoke(), B_BAD_PORT_ID);
}

TEST(Invoker, SourceNamesTheWholeObjectAndTargetsCanChange)
{
	auto log = std::make_shared<MessageLog>();
	auto* looper = new LoggingLooper(log);
	ASSERT_GT(looper->Run(), 0);

	Control control(new BMessage('Ctrl'));
	EXPECT_FALSE(control.Messenger().IsValid());
	EXPECT_EQ(control.Invoke(), B_BAD_PORT_ID) << "no target yet";
	ASSERT_EQ(control.SetTarget(BMessenger(nullptr, looper)), B_OK);
	ASSERT_EQ(control.Invoke(), B_OK);
	ASSERT_TRUE(log->WaitForCount(1));
	void* source = nullptr;
	ASSERT_EQ(log->At(0).FindPointer("source", &source), B_OK);
	EXPECT_EQ(source, static_cast<BHandler*>(&control));
	EXPECT_NE(source, static_cast<void*>(static_cast<BInvoker*>(&control)));

	// Replies to invoked messages go to the invoker's reply handler.
	auto replies = std::make_shared<MessageLog>();
	auto* replyLooper = new LoggingLooper(replies, "replies");
	ASSERT_GT(replyLooper->Run(), 0);
	looper->fAction = [](BLooper*, BMessage* message) { message->SendReply('Ack!'); };
	control.SetHandlerForReply(replyLooper);
	EXPECT_EQ(control.HandlerForReply(), replyLooper);
	ASSERT_EQ(control.Invoke(), B_OK);
	ASSERT_TRUE(replies->WaitForCount(1));
	EXPECT_EQ(replies->At(0).what, static_cast<uint32>('Ack!'));

	status_t status = control.SetTarget(&control, nullptr);
	EXPECT_EQ(status, B_MISMATCHED_VALUES) << "a handler without a looper is no target";
	EXPECT_EQ(control.SetTimeout(1000), B_OK);
	EXPECT_EQ(control.Timeout(), 1000);

	ASSERT_TRUE(looper->Lock());
	looper->Quit();
	ASSERT_TRUE(replyLooper->Lock());
	replyLooper->Quit();
}
