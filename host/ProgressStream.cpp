#include "ProgressStream.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// A reader that stops reading holds this many lines at most.
const size_t kMaxQueuedLines = 10000;

} // namespace


struct ProgressStream::State {
	int fd = -1;
	std::mutex lock;
	std::condition_variable changed;
	std::deque<std::string> queue;
	bool writing = false;
	bool closing = false;
	bool broken = false;
	int64 dropped = 0;
	std::thread thread;
};


ProgressStream::ProgressStream(int fd)
	:
	fState(std::make_shared<State>())
{
	fState->fd = fd;
	int flags = fcntl(fd, F_GETFD);
	if (flags >= 0)
		fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
	fState->thread = std::thread(_Run, fState);
}


ProgressStream::~ProgressStream()
{
	Close(0);
}


void
ProgressStream::Write(const std::string& line)
{
	std::lock_guard<std::mutex> guard(fState->lock);
	if (fState->closing || fState->broken || fState->queue.size() >= kMaxQueuedLines) {
		fState->dropped++;
		return;
	}
	fState->queue.push_back(line + "\n");
	fState->changed.notify_all();
}


void
ProgressStream::Close(bigtime_t wait)
{
	std::unique_lock<std::mutex> guard(fState->lock);
	if (!fState->thread.joinable())
		return;
	bool drained = fState->changed.wait_for(guard, std::chrono::microseconds(wait),
		[this] { return fState->broken || (fState->queue.empty() && !fState->writing); });
	fState->closing = true;
	fState->changed.notify_all();
	guard.unlock();
	// A reader that neither reads nor closes keeps the thread in its write:
	// it is left there, with the state it shares, and ends with the program.
	if (drained)
		fState->thread.join();
	else
		fState->thread.detach();
}


int64
ProgressStream::DroppedLines() const
{
	std::lock_guard<std::mutex> guard(fState->lock);
	return fState->dropped;
}


void
ProgressStream::_Run(std::shared_ptr<State> state)
{
	// A write to a pipe whose reader has gone raises SIGPIPE on the writing
	// thread: blocked here, it stays pending on this thread alone, and
	// the write fails with EPIPE instead.
	sigset_t pipeSignal;
	sigemptyset(&pipeSignal);
	sigaddset(&pipeSignal, SIGPIPE);
	pthread_sigmask(SIG_BLOCK, &pipeSignal, NULL);

	std::unique_lock<std::mutex> guard(state->lock);
	for (;;) {
		state->changed.wait(guard, [&] { return state->closing || !state->queue.empty(); });
		if (state->queue.empty() || state->broken)
			break;
		std::string text = std::move(state->queue.front());
		state->queue.pop_front();
		state->writing = true;
		guard.unlock();
		bool written = _WriteWhole(state->fd, text);
		guard.lock();
		state->writing = false;
		if (!written) {
			state->broken = true;
			state->dropped += (int64)state->queue.size() + 1;
			state->queue.clear();
		}
		state->changed.notify_all();
	}
	guard.unlock();
	// The SIGPIPE of a broken pipe is taken off this thread before it ends.
	struct timespec noWait = { 0, 0 };
	while (sigtimedwait(&pipeSignal, NULL, &noWait) == SIGPIPE) {
	}
	close(state->fd);
}


bool
ProgressStream::_WriteWhole(int fd, const std::string& text)
{
	size_t done = 0;
	while (done < text.size()) {
		ssize_t written = write(fd, text.data() + done, text.size() - done);
		if (written < 0 && errno == EINTR)
			continue;
		if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
			// A descriptor handed over non-blocking: wait until it takes more.
			struct pollfd wanted = { fd, POLLOUT, 0 };
			if (poll(&wanted, 1, -1) >= 0 || errno == EINTR)
				continue;
			return false;
		}
		if (written <= 0)
			return false;
		done += (size_t)written;
	}
	return true;
}
