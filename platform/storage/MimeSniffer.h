#ifndef _MIME_SNIFFER_H
#define _MIME_SNIFFER_H

// Content sniffing of MIME types with the host's magic database. Internal to
// the storage kit (update_mime_info).

#include <SupportDefs.h>

#include <string>

// How many leading bytes of a file are looked at.
static const size_t kMimeSniffLength = 256 * 1024;

// The MIME type of `length` bytes of content ("text/plain", "image/png",
// "application/octet-stream" for unknown data).
status_t sniff_mime_type(const void* data, size_t length, std::string* type);

// The MIME type of the file open on host descriptor `fd`, from its first
// kMimeSniffLength bytes (read with pread: the descriptor's offset stays).
status_t sniff_mime_type(int fd, std::string* type);

#endif // _MIME_SNIFFER_H
