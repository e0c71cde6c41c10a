#ifndef _ROSTER_H
#define _ROSTER_H

// What the system knows about a running application.

#include <EntryRef.h>
#include <OS.h>
#include <StorageDefs.h>

// Launch flags of app_info.flags.
enum {
	B_SINGLE_LAUNCH = 0x0,
	B_MULTIPLE_LAUNCH = 0x1,
	B_EXCLUSIVE_LAUNCH = 0x2,
	B_LAUNCH_MASK = 0x3,
	B_BACKGROUND_APP = 0x4,
	B_ARGV_ONLY = 0x8
};

struct app_info {
	app_info();
	~app_info();

	thread_id thread;
	team_id team;
	port_id port;
	uint32 flags;
	// The running executable.
	entry_ref ref;
	char signature[B_MIME_TYPE_LENGTH];
};

inline
app_info::app_info()
	:
	thread(-1),
	team(-1),
	port(-1),
	flags(B_SINGLE_LAUNCH),
	signature()
{
}

inline
app_info::~app_info()
{
}

#endif // _ROSTER_H
