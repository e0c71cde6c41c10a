#ifndef _PROGRESS_STREAM_H
#define _PROGRESS_STREAM_H

// The --progress-fd descriptor: lines written on a thread of the stream's
// own, each whole, in the order they were given, whichever threads give
// them. The install never waits for the reader: a reader that stops
// reading costs the lines beyond a generous queue, and one that closes its
// end ends the stream quietly (EPIPE; SIGPIPE is never raised on the
// program).

#include <SupportDefs.h>

#include <memory>
#include <string>

class ProgressStream {
public:
	// Takes `fd`, which is not inherited by the programs the install runs.
	explicit ProgressStream(int fd);
	~ProgressStream();

	// `line` without its line end.
	void Write(const std::string& line);
	// Writes what is queued, waiting for the reader at most `wait`, then
	// lets the descriptor go. Nothing is written after.
	void Close(bigtime_t wait);

	// Lines given while the queue was full, or after the reader went away.
	int64 DroppedLines() const;

private:
	struct State;

	static void _Run(std::shared_ptr<State> state);
	static bool _WriteWhole(int fd, const std::string& text);

	std::shared_ptr<State> fState;
};

#endif // _PROGRESS_STREAM_H
