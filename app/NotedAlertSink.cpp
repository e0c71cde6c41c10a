#include "NotedAlertSink.h"

#include <utility>

int32
NotedAlertSink::Alert(const char* text, const char*, const char*, const char*)
{
	fText = text;
	return 0;
}

std::string
NotedAlertSink::Take()
{
	std::string text = std::move(fText);
	fText.clear();
	return text;
}
