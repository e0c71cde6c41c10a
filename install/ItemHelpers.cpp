#include "ItemHelpers.h"

#include "CreatePath.h"
#include "DestManager.h"
#include "InstallPack.h"

#include <File.h>
#include <Message.h>
#include <Messenger.h>
#include <StorageDefs.h>

#include <cstring>
#include <limits>

void
send_current_file(InstallPack* pack, const char* name)
{
	BMessage message(kCurrentFileMessage);
	message.AddString("filename", name != NULL ? name : "");
	pack->fStatusMessenger.SendMessage(&message, (BHandler*)NULL, B_INFINITE_TIMEOUT);
}


void
send_item_progress(InstallPack* pack, int64 bytes)
{
	BMessage message(kItemProgressMessage);
	add_byte_count(&message, "bytes", bytes);
	pack->fStatusMessenger.SendMessage(&message, (BHandler*)NULL, B_INFINITE_TIMEOUT);
}


void
add_byte_count(BMessage* message, const char* field, int64 bytes)
{
	if (bytes >= std::numeric_limits<int32>::min()
		&& bytes <= std::numeric_limits<int32>::max())
		message->AddInt32(field, (int32)bytes);
	else
		message->AddInt64(field, bytes);
}


int64
find_byte_count(const BMessage* message, const char* field)
{
	int64 wide;
	if (message->FindInt64(field, &wide) == B_OK)
		return wide;
	int32 narrow;
	if (message->FindInt32(field, &narrow) == B_OK)
		return narrow;
	return 0;
}


void
write_log_block(DestManager* manager, BDirectory* folder, const std::string& text)
{
	if (!manager->fLogging)
		return;
	BFile* log = manager->LogFile();
	// LogFile turns logging off when the log cannot be made.
	if (!manager->fLogging)
		return;
	char nameBuffer[B_FILE_NAME_LENGTH];
	WritePath(folder, log, nameBuffer);
	log->Write(text.data(), text.size());
}


bool
is_plain_entry_name(const char* name)
{
	if (name == NULL || name[0] == '\0')
		return false;
	if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
		return false;
	return strchr(name, '/') == NULL && strlen(name) < B_FILE_NAME_LENGTH;
}
