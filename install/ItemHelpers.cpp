#include "ItemHelpers.h"

#include "CreatePath.h"
#include "DestManager.h"
#include "InstallPack.h"
#include "RunEvents.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Message.h>
#include <Messenger.h>
#include <Node.h>
#include <StorageDefs.h>

#include <cstring>
#include <limits>

void
send_current_file(InstallPack* pack, const char* name)
{
	BMessage message(kCurrentFileMessage);
	message.AddString("filename", name != nullptr ? name : "");
	pack->fStatusMessenger.SendUnhurried(&message);
}


void
send_item_progress(InstallPack* pack, int64 bytes)
{
	RunEvents::BytesDone(bytes);
	BMessage message(kItemProgressMessage);
	add_byte_count(&message, "bytes", bytes);
	pack->fStatusMessenger.SendUnhurried(&message);
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
	// The folder's path and the item's text go out in one write.
	std::string block;
	if (!manager->FolderPath(folder, &block)) {
		char nameBuffer[B_FILE_NAME_LENGTH];
		WritePath(folder, log, nameBuffer);
	}
	block += text;
	log->Write(block.data(), block.size());
}


bool
is_plain_entry_name(const char* name)
{
	if (name == nullptr || name[0] == '\0')
		return false;
	if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
		return false;
	return strchr(name, '/') == nullptr && strlen(name) < B_FILE_NAME_LENGTH;
}


bool
find_existing_entry(BDirectory* folder, const char* name, BEntry* existing)
{
	existing->Unset();
	if (!folder->Contains(name))
		return false;
	existing->SetTo(folder, name);
	return existing->Exists();
}


std::string
alert_item_name(const char* name)
{
	const size_t kShownBytes = 200;
	if (name == nullptr)
		return std::string();
	size_t length = strlen(name);
	if (length < B_FILE_NAME_LENGTH)
		return name;
	size_t cut = kShownBytes;
	// Back over the continuation bytes of a character the cut would split.
	while (cut > 0 && ((uint8)name[cut] & 0xC0) == 0x80)
		cut--;
	return std::string(name, cut) + "\xE2\x80\xA6";
}
