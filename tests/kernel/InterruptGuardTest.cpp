// Interrupts and termination requests while a guard lives are noted, not
// fatal; without a guard both signals have their usual effect.

#include <InterruptGuard.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using BPrivate::InterruptGuard;

namespace {

sighandler_t
CurrentHandler(int signal)
{
	struct sigaction action;
	sigaction(signal, nullptr, &action);
	return action.sa_handler;
}

} // namespace


TEST(InterruptGuardTest, SignalsAreNotedWhileAGuardLivesAndFatalAfterwards)
{
	ASSERT_EQ(CurrentHandler(SIGTERM), SIG_DFL);
	EXPECT_FALSE(InterruptGuard::Requested());
	{
		InterruptGuard outer;
		EXPECT_FALSE(InterruptGuard::Requested());
		{
			InterruptGuard inner;
			raise(SIGINT);
			EXPECT_TRUE(InterruptGuard::Requested());
			EXPECT_EQ(InterruptGuard::Signal(), SIGINT);
		}
		// The outer guard still holds both signals and the request.
		EXPECT_NE(CurrentHandler(SIGTERM), SIG_DFL);
		raise(SIGTERM);
		EXPECT_EQ(InterruptGuard::Signal(), SIGTERM);
	}
	EXPECT_EQ(CurrentHandler(SIGINT), SIG_DFL);
	EXPECT_EQ(CurrentHandler(SIGTERM), SIG_DFL);
	EXPECT_FALSE(InterruptGuard::Requested());

	// A new guard starts with nothing noted.
	InterruptGuard fresh;
	EXPECT_FALSE(InterruptGuard::Requested());
}


TEST(InterruptGuardTest, AProcessWithoutAGuardEndsOnTermination)
{
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		{
			InterruptGuard guard;
			raise(SIGTERM);
			if (!InterruptGuard::Requested())
				_exit(3);
		}
		raise(SIGTERM);
		_exit(0);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
	EXPECT_EQ(WTERMSIG(status), SIGTERM);
}
