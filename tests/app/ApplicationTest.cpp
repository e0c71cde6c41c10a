#include <Application.h>
#include <Message.h>
#include <MessageLog.h>
#include <Roster.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* kSignature = "application/x-vnd.test-app";

// Records the order of the hooks and messages it sees.
class RecordingApp : public BApplication {
public:
	RecordingApp() : BApplication(kSignature) {}

	void ReadyToRun() override
	{
		fEvents.push_back(B_READY_TO_RUN);
		fReadyThread = find_thread(nullptr);
		if (fOnReady)
			fOnReady(this);
	}

	void ArgvReceived(int32 argc, char** argv) override
	{
		fEvents.push_back(B_ARGV_RECEIVED);
		for (int32 i = 0; i < argc; i++)
			fArguments.push_back(argv[i]);
		EXPECT_EQ(argv[argc], nullptr);
	}

	void MessageReceived(BMessage* message) override
	{
		fEvents.push_back(message->what);
		fLog.Add(*message, find_thread(nullptr));
		if (fOnMessage)
			fOnMessage(this, message);
		else
			BApplication::MessageReceived(message);
	}

	bool QuitRequested() override
	{
		fQuitRequests++;
		return fAllowQuit && BApplication::QuitRequested();
	}

	std::vector<uint32> fEvents;
	std::vector<std::string> fArguments;
	MessageLog fLog;
	thread_id fReadyThread = -1;
	int fQuitRequests = 0;
	bool fAllowQuit = true;
	std::function<void(RecordingApp*)> fOnReady;
	std::function<void(RecordingApp*, BMessage*)> fOnMessage;
};

class Asker : public BLooper {
public:
	Asker() : BLooper("asker") {}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == 'Uprg') {
			BMessage reply(B_CANCELED);
			reply.AddBool("canceled", true);
			fReplyStatus = message->SendReply(&reply);
		}
	}

	std::atomic<status_t> fReplyStatus{1};
};

} // namespace

TEST(Application, RunsOnTheCallingThreadReadyToRunFirst)
{
	auto* app = new RecordingApp;
	ASSERT_EQ(app->InitCheck(), B_OK);
	EXPECT_EQ(be_app, app);
	EXPECT_TRUE(be_app_messenger.IsValid());
	EXPECT_STREQ(app->Signature(), kSignature);
	EXPECT_TRUE(app->IsLaunching());

	// Posted before Run, handled after ReadyToRun.
	ASSERT_EQ(app->PostMessage('Erly'), B_OK);
	app->fOnReady = [](RecordingApp* self) { self->PostMessage('Next'); };
	app->fOnMessage = [](RecordingApp* self, BMessage* message) {
		if (message->what == 'Next')
			self->Quit();
	};
	thread_id mainThread = find_thread(nullptr);
	EXPECT_EQ(app->Run(), mainThread);
	EXPECT_EQ(app->fReadyThread, mainThread);

	// The program's arguments, when it has any, come first of all.
	std::vector<std::string> arguments = testing::internal::GetArgvs();
	if (arguments.size() > 1) {
		ASSERT_FALSE(app->fEvents.empty());
		EXPECT_EQ(app->fEvents[0], static_cast<uint32>(B_ARGV_RECEIVED));
		app->fEvents.erase(app->fEvents.begin());
		EXPECT_EQ(app->fArguments, arguments);
	} else {
		EXPECT_TRUE(app->fArguments.empty());
	}
	ASSERT_EQ(app->fEvents.size(), 3u);
	EXPECT_EQ(app->fEvents[0], static_cast<uint32>(B_READY_TO_RUN));
	EXPECT_EQ(app->fEvents[1], static_cast<uint32>('Erly'));
	EXPECT_EQ(app->fEvents[2], static_cast<uint32>('Next'));
	EXPECT_FALSE(app->IsLaunching());

	delete app;
	EXPECT_EQ(be_app, nullptr);
	EXPECT_FALSE(be_app_messenger.IsValid());
}

TEST(Application, QuitFromAnotherThreadAndTheQuitRequest)
{
	auto* app = new RecordingApp;
	std::thread quitter;
	app->fOnReady = [&quitter](RecordingApp* self) {
		quitter = std::thread([self] {
			// The first request is refused, the second one ends Run.
			BMessage reply;
			EXPECT_EQ(be_app_messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);
			EXPECT_FALSE(reply.FindBool("result"));
			ASSERT_TRUE(self->Lock());
			self->fAllowQuit = true;
			self->Unlock();
			EXPECT_EQ(be_app_messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
		});
	};
	app->fAllowQuit = false;
	app->Run();
	quitter.join();
	EXPECT_EQ(app->fQuitRequests, 2);
	delete app;

	// Quit called from another thread, holding the lock.
	app = new RecordingApp;
	app->fOnReady = [&quitter](RecordingApp* self) {
		quitter = std::thread([self] {
			ASSERT_TRUE(self->Lock());
			self->Quit();
			self->Unlock();
		});
	};
	app->Run();
	quitter.join();
	EXPECT_EQ(app->fQuitRequests, 0);
	delete app;
}

TEST(Application, RepliesToNonWaitingSendersReachTheApplication)
{
	auto* app = new RecordingApp;
	auto* asker = new Asker;
	BMessenger askerMessenger(nullptr, asker);
	asker->Run();
	app->fOnReady = [askerMessenger](RecordingApp*) {
		BMessage progress('Uprg');
		progress.AddInt32("bytes", 100);
		EXPECT_EQ(askerMessenger.SendMessage(&progress), B_OK);
	};
	app->fOnMessage = [](RecordingApp* self, BMessage* message) {
		if (message->what == static_cast<uint32>(B_CANCELED))
			self->Quit();
	};
	app->Run();
	ASSERT_EQ(app->fLog.Count(), 1u);
	BMessage reply = app->fLog.At(0);
	EXPECT_EQ(reply.what, static_cast<uint32>(B_CANCELED));
	EXPECT_TRUE(reply.FindBool("canceled"));
	EXPECT_TRUE(reply.IsReply());

	ASSERT_TRUE(asker->Lock());
	asker->Quit();
	delete app;

	// Without an application the reply has nowhere to go.
	asker = new Asker;
	askerMessenger = BMessenger(nullptr, asker);
	asker->Run();
	BMessage progress('Uprg');
	EXPECT_EQ(askerMessenger.SendMessage(&progress), B_OK);
	ASSERT_TRUE(WaitUntil([asker] { return asker->fReplyStatus.load() != 1; }));
	EXPECT_EQ(asker->fReplyStatus.load(), B_BAD_PORT_ID);
	ASSERT_TRUE(asker->Lock());
	asker->Quit();
}

TEST(Application, OneApplicationAndItsInfo)
{
	status_t status = B_ERROR;
	auto* app = new BApplication(kSignature, &status);
	ASSERT_EQ(status, B_OK);
	status_t secondStatus = B_OK;
	auto* second = new BApplication("application/x-vnd.second", &secondStatus);
	EXPECT_EQ(secondStatus, B_ALREADY_RUNNING);
	EXPECT_EQ(be_app, app) << "the first application stays the application";
	delete second;
	EXPECT_EQ(be_app, app);

	app_info info;
	ASSERT_EQ(app->GetAppInfo(&info), B_OK);
	EXPECT_EQ(info.thread, find_thread(nullptr));
	EXPECT_EQ(info.team, static_cast<team_id>(getpid()));
	EXPECT_STREQ(info.signature, kSignature);
	ASSERT_NE(info.ref.name, nullptr);
	EXPECT_STREQ(info.ref.name, "app_tests");
	EXPECT_EQ(app->GetAppInfo(nullptr), B_BAD_VALUE);
	delete app;

	BApplication badSignature("text/plain", &status);
	EXPECT_EQ(status, B_BAD_VALUE);
	EXPECT_EQ(badSignature.Run(), B_BAD_VALUE);
}

TEST(Application, QuitWindowsHookDecidesTheDefaultQuitRequest)
{
	static int hookCalls;
	static bool hookAnswer;
	hookCalls = 0;
	hookAnswer = false;
	BPrivate::set_quit_windows_hook([](bool force) {
		EXPECT_FALSE(force);
		hookCalls++;
		return hookAnswer;
	});
	BApplication app(kSignature);
	EXPECT_FALSE(app.QuitRequested());
	hookAnswer = true;
	EXPECT_TRUE(app.QuitRequested());
	EXPECT_EQ(hookCalls, 2);
	BPrivate::set_quit_windows_hook(nullptr);
	EXPECT_TRUE(app.QuitRequested());
}
