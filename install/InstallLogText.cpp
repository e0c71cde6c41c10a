#include "InstallLogText.h"

#include <cinttypes>
#include <cstdio>

namespace {

// ctime's 24 characters and its line feed, made thread-safe.
std::string
TimeText(time_t when)
{
	char buffer[32];
	if (ctime_r(&when, buffer) == nullptr)
		return "\n";
	return buffer;
}


std::string
SizeText(int64 size)
{
	char buffer[32];
	snprintf(buffer, sizeof(buffer), "%" PRId64, size);
	return buffer;
}


std::string
Text(const char* text)
{
	return text != nullptr ? text : "";
}

} // namespace


std::string
log_header_text(const char* packageName, time_t when)
{
	return "Installation: " + Text(packageName) + "\nStarted: " + TimeText(when) + "\n\n";
}


std::string
log_footer_text(bool canceled, time_t when)
{
	return std::string("\n\n") + (canceled ? "Canceled: " : "Completed: ") + TimeText(when)
		+ "\n";
}


std::string
log_folder_text(const char* name)
{
	return Text(name) + "/\n\tType: Folder\n";
}


std::string
log_file_text(const char* name, int64 size, const char* mimeType)
{
	std::string type = Text(mimeType);
	return Text(name) + "\n\tSize: " + SizeText(size) + " bytes\t\tType: "
		+ (type.empty() ? "N/A" : type) + "\n";
}


std::string
log_link_text(const char* name, const char* target)
{
	// The word is spelled as the log has always spelled it.
	return Text(name) + "\n\tSymblic link to " + Text(target) + "\n";
}


std::string
log_patch_text(const char* name, int64 size, const char* mimeType)
{
	std::string type = Text(mimeType);
	std::string text = Text(name) + "\n\tSize: " + SizeText(size) + " bytes";
	text += type.empty() ? "\n" : "\t\tType: " + type + "\n";
	return text + "\tPatched from original: ";
}


std::string
log_script_text(const char* name)
{
	return "Executing shell script " + Text(name) + "\n";
}


std::string
log_failed_text(const char* name, const char* reason)
{
	return Text(name) + "\n\tNot installed: " + Text(reason) + "\n";
}
