#ifndef _KEY_FILE_TEXT_H
#define _KEY_FILE_TEXT_H

// The text of a key or signature file as the common signing tools write it:
// a line "untrusted comment: …", then the key's bytes in base64 on one line.
// Keys made with the usual command-line signer can be read and written.

#include <SupportDefs.h>

#include <string>
#include <vector>

class KeyFileText {
public:
	// Both lines, each ending in a newline.
	static std::string Encode(const std::string& comment, const uint8* bytes, size_t length);
	// The bytes of the first base64 line after the comment line (or of the
	// text's only line). Fails, saying why, when the text holds no such line
	// or its bytes are not `length` long.
	static status_t Decode(const std::string& text, size_t length, std::vector<uint8>* bytes,
		std::string* error);
	// A whole small text file from the host.
	static status_t ReadHostFile(const char* path, std::string* text, std::string* error);

	static const char* const kCommentPrefix;
};

#endif // _KEY_FILE_TEXT_H
