#include "KeyFileText.h"

#include <Errors.h>

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

const char* const KeyFileText::kCommentPrefix = "untrusted comment:";

namespace {

// Key files are a few hundred bytes; anything far larger is not one.
const std::streamsize kMostKeyFileBytes = 64 * 1024;


std::string
TrimLine(std::string line)
{
	while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
		line.pop_back();
	size_t start = line.find_first_not_of(" \t");
	return start == std::string::npos ? std::string() : line.substr(start);
}

} // namespace


std::string
KeyFileText::Encode(const std::string& comment, const uint8* bytes, size_t length)
{
	std::string base64(sodium_base64_encoded_len(length, sodium_base64_VARIANT_ORIGINAL), '\0');
	sodium_bin2base64(base64.data(), base64.size(), bytes, length,
		sodium_base64_VARIANT_ORIGINAL);
	base64.resize(strlen(base64.c_str()));
	return std::string(kCommentPrefix) + " " + comment + "\n" + base64 + "\n";
}


status_t
KeyFileText::Decode(const std::string& text, size_t length, std::vector<uint8>* bytes,
	std::string* error)
{
	std::istringstream lines(text);
	std::string line;
	std::string encoded;
	while (std::getline(lines, line)) {
		line = TrimLine(line);
		if (line.empty() || line.compare(0, strlen(kCommentPrefix), kCommentPrefix) == 0)
			continue;
		encoded = line;
		break;
	}
	if (encoded.empty()) {
		*error = "holds no key";
		return B_BAD_DATA;
	}
	bytes->assign(encoded.size(), 0);
	size_t decoded = 0;
	if (sodium_base642bin(bytes->data(), bytes->size(), encoded.c_str(), encoded.size(),
			nullptr, &decoded, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
		*error = "its key is not valid base64";
		return B_BAD_DATA;
	}
	bytes->resize(decoded);
	if (decoded != length) {
		*error = "its key has " + std::to_string(decoded) + " bytes, not "
			+ std::to_string(length);
		return B_BAD_DATA;
	}
	return B_OK;
}


status_t
KeyFileText::ReadHostFile(const char* path, std::string* text, std::string* error)
{
	std::ifstream file(path, std::ios::binary);
	if (!file) {
		*error = strerror(errno);
		return B_ENTRY_NOT_FOUND;
	}
	std::string content(kMostKeyFileBytes + 1, '\0');
	file.read(content.data(), content.size());
	content.resize(file.gcount());
	if ((std::streamsize)content.size() > kMostKeyFileBytes) {
		*error = "too large for a key file";
		return B_BAD_DATA;
	}
	*text = content;
	return B_OK;
}
