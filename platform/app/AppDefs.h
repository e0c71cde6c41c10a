#ifndef _APP_DEFS_H
#define _APP_DEFS_H

// The platform's message constants: system messages carry an underscore
// followed by three capitals.

#include <SupportDefs.h>

enum {
	// Application and looper protocol
	B_ABOUT_REQUESTED = '_ABR',
	B_APP_ACTIVATED = '_ACT',
	B_ARGV_RECEIVED = '_ARG',
	B_QUIT_REQUESTED = '_QRQ',
	B_CLOSE_REQUESTED = '_QRQ',
	B_PULSE = '_PUL',
	B_READY_TO_RUN = '_RTR',
	B_REFS_RECEIVED = 'RREF',
	B_SILENT_RELAUNCH = 'AREL',

	// Replies
	B_NO_REPLY = '_NRP',
	B_REPLY = '_RPL',
	B_MESSAGE_NOT_UNDERSTOOD = '_MNU',

	// Interface events
	B_KEY_DOWN = '_KYD',
	B_KEY_UP = '_KYU',
	B_UNMAPPED_KEY_DOWN = '_UKD',
	B_UNMAPPED_KEY_UP = '_UKU',
	B_MODIFIERS_CHANGED = '_MCH',
	B_MOUSE_DOWN = '_MDN',
	B_MOUSE_MOVED = '_MMV',
	B_MOUSE_UP = '_MUP',
	B_MOUSE_WHEEL_CHANGED = '_MWC',
	B_MINIMIZE = '_WMN',
	B_SCREEN_CHANGED = '_SCH',
	B_VIEW_MOVED = '_VMV',
	B_VIEW_RESIZED = '_VRS',
	B_WINDOW_ACTIVATED = '_ACT',
	B_WINDOW_MOVED = '_WMV',
	B_WINDOW_RESIZED = '_WRS',
	B_WORKSPACES_CHANGED = '_WCG',
	B_WORKSPACE_ACTIVATED = '_WAC',
	B_ZOOM = '_WZM',
	B_VALUE_CHANGED = '_VCH',
	B_INVALIDATE = '_IVL',

	// Editing and data
	B_CANCEL = '_CNC',
	B_CLEAR = 'CLER',
	B_COPY = 'COPY',
	B_CUT = 'CCUT',
	B_PASTE = 'PSTE',
	B_SELECT_ALL = 'SALL',
	B_SIMPLE_DATA = 'DATA',
	B_MIME_DATA = 'MIME',
	B_ARCHIVED_OBJECT = 'ARCV',
	B_UPDATE_STATUS_BAR = 'SBUP',
	B_RESET_STATUS_BAR = 'SBRS',
	B_NODE_MONITOR = 'NDMN',
	B_QUERY_UPDATE = 'QUPD',
	B_OBSERVER_NOTICE_CHANGE = 'NTCH',
	B_CONTROL_INVOKED = 'CIVK',
	B_CONTROL_MODIFIED = 'CMOD'
};

// The number of messages a looper's queue holds before senders wait.
#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

#endif // _APP_DEFS_H
