#include "FindItem.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// A signature the query language takes as one plain word; anything else is
// written as quoted text, so that a blank or a parenthesis in a signature
// cannot change what the query means.
static bool
is_plain_word(const char* text)
{
	if (text[0] == '\0')
		return false;
	for (const char* c = text; *c != '\0'; c++) {
		if (*c == ' ' || *c == '\t' || *c == '\n' || *c == '(' || *c == ')'
			|| *c == '"' || *c == '\\' || *c == '&' || *c == '|' || *c == '*'
			|| *c == '=' || *c == '<' || *c == '>' || *c == '!')
			return false;
	}
	return true;
}


static std::string
quoted_value(const char* text)
{
	if (is_plain_word(text))
		return text;
	std::string quoted = "\"";
	for (const char* c = text; *c != '\0'; c++) {
		if (*c == '"' || *c == '\\')
			quoted += '\\';
		quoted += *c;
	}
	return quoted + "\"";
}


FindItem::FindItem(const char* name, int64 size, const char* signature)
	:
	FindItem(name)
{
	fSize = size;
	char predicate[64];
	snprintf(predicate, sizeof(predicate), "size = %" PRId64, size);
	AddPredicate(predicate);
	if (signature != nullptr && signature[0] != '\0')
		AddPredicate(("BEOS:APP_SIG = " + quoted_value(signature)).c_str());
}


FindItem::FindItem(const char* name)
	:
	DestItem(name, kNoSystemDirectory),
	fSize(0),
	fNotFound(false),
	fMatchCount(0),
	fPredicates(new RList<char*>(20))
{
}


FindItem::~FindItem()
{
	for (int32 index = 0; index < fPredicates->CountItems(); index++)
		free(fPredicates->ItemAt(index));
	delete fPredicates;
}


int32
FindItem::CountPredicates() const
{
	return fPredicates->CountItems();
}


const char*
FindItem::PredicateAt(int32 index) const
{
	return fPredicates->ItemAt(index);
}


void
FindItem::AddPredicate(const char* text)
{
	fPredicates->AddItem(strdup(text));
}
