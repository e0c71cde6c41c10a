#include "TrustedComment.h"

#include <cstdio>
#include <sstream>

namespace {

const char* const kSignerField = "signer";
const char* const kPackageField = "package";
const char* const kVersionField = "version";
const char* const kTimeField = "signed";


// A value stays on the comment's one line and out of its separators.
std::string
Flattened(const std::string& value)
{
	std::string flat = value;
	for (char& c : flat) {
		if (c == '\t' || c == '\n' || c == '\r')
			c = ' ';
	}
	return flat;
}


bool
ParseIsoTime(const std::string& text, time_t* when)
{
	struct tm utc = {};
	int consumed = 0;
	if (sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &utc.tm_year, &utc.tm_mon,
			&utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) != 6
		|| consumed != (int)text.size())
		return false;
	utc.tm_year -= 1900;
	utc.tm_mon -= 1;
	*when = timegm(&utc);
	return true;
}

} // namespace


std::string
TrustedComment::TimeText(time_t when)
{
	struct tm utc;
	gmtime_r(&when, &utc);
	char text[32];
	strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
	return text;
}


TrustedComment::TrustedComment()
	:
	fSignedAt(0)
{
}


std::string
TrustedComment::Text() const
{
	std::string text = std::string(kSignerField) + ": " + Flattened(fSigner);
	text += std::string("\t") + kPackageField + ": " + Flattened(fPackage);
	if (!fVersion.empty())
		text += std::string("\t") + kVersionField + ": " + Flattened(fVersion);
	text += std::string("\t") + kTimeField + ": " + TimeText(fSignedAt);
	return text;
}


TrustedComment
TrustedComment::Parse(const std::string& text)
{
	auto whole = [&text] {
		TrustedComment other;
		other.fSigner = text;
		return other;
	};
	TrustedComment comment;
	std::istringstream fields(text);
	std::string field;
	bool ours = false;
	while (std::getline(fields, field, '\t')) {
		size_t colon = field.find(": ");
		if (colon == std::string::npos)
			return whole();
		std::string name = field.substr(0, colon);
		std::string value = field.substr(colon + 2);
		if (name == kSignerField) {
			comment.fSigner = value;
			ours = true;
		} else if (name == kPackageField)
			comment.fPackage = value;
		else if (name == kVersionField)
			comment.fVersion = value;
		else if (name == kTimeField && !ParseIsoTime(value, &comment.fSignedAt))
			return whole();
	}
	return ours ? comment : whole();
}
