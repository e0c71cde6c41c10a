#ifndef _INSTALL_LOG_TEXT_H
#define _INSTALL_LOG_TEXT_H

// The pieces of the install log's text, byte for byte: the header and the
// footer of a run, and the line that follows an item's folder path (written
// with WritePath). Lines end with a single line feed; times are in the
// standard ctime form with its own line feed.

#include <SupportDefs.h>

#include <ctime>
#include <string>

std::string log_header_text(const char* packageName, time_t when);
std::string log_footer_text(bool canceled, time_t when);

std::string log_folder_text(const char* name);
// A null or empty MIME type is logged as "N/A".
std::string log_file_text(const char* name, int64 size, const char* mimeType);
std::string log_link_text(const char* name, const char* target);
// Up to the original's path, which the caller writes with a line feed.
std::string log_patch_text(const char* name, int64 size, const char* mimeType);
std::string log_script_text(const char* name);
// An item that could not be installed, and why.
std::string log_failed_text(const char* name, const char* reason);

#endif // _INSTALL_LOG_TEXT_H
