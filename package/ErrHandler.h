#ifndef _ERR_HANDLER_H
#define _ERR_HANDLER_H

// The package readers' way out of a deep read: a failing step throws
// ErrHandler::OSErr with its status, and the reader's public operation
// catches it and returns the status. No OSErr ever leaves an operation.

#include <SupportDefs.h>

class ErrHandler {
public:
	class OSErr {
	public:
		explicit OSErr(status_t error) : err(error) {}

		status_t Error() const { return err; }

		status_t err;
	};

	// Throws OSErr for a negative status; passes anything else back, so a
	// read can be written as  count = ErrHandler::Check(io->Read(...));
	template<typename Status>
	static Status Check(Status status)
	{
		if (status < 0)
			throw OSErr(static_cast<status_t>(status));
		return status;
	}

	[[noreturn]] static void Throw(status_t error) { throw OSErr(error); }
};

#endif // _ERR_HANDLER_H
