// Interrupts and termination requests while a guard lives are noted, not
// fatal; without a guard both signals have their usual effect.

#include <CancelFlag.h>
#include <InterruptGuard.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using BPrivate::CancelFlag;
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


// Work blocked in a wait learns of the signal through the flag of the
// innermost guard that has one; an inner guard without one leaves the
// outer flag in charge, and once a guard goes its flag is raised no more.
TEST(InterruptGuardTest, ASignalRaisesTheFlagOfTheInnermostGuardWithOne)
{
	CancelFlag outerFlag;
	CancelFlag innerFlag;
	{
		InterruptGuard outer(&outerFlag);
		{
			InterruptGuard inner(&innerFlag);
			InterruptGuard plain;
			raise(SIGINT);
			EXPECT_TRUE(innerFlag.IsRaised());
			EXPECT_FALSE(outerFlag.IsRaised());
		}
		innerFlag.Clear();
		raise(SIGTERM);
		EXPECT_TRUE(outerFlag.IsRaised());
		EXPECT_FALSE(innerFlag.IsRaised());
	}
	outerFlag.Clear();
	InterruptGuard unrelated;
	raise(SIGTERM);
	EXPECT_FALSE(outerFlag.IsRaised());
	EXPECT_FALSE(innerFlag.IsRaised());
}
