#ifndef _QUERY_PREDICATE_H
#define _QUERY_PREDICATE_H

// The parsed form of a query predicate, behind BQuery. Internal to the
// storage kit.
//
// Grammar:
//   expression := conjunction ( "||" conjunction )*
//   conjunction := term ( "&&" term )*
//   term := "(" expression ")" | attribute operator value
//   operator := "==" | "=" | "!=" | "<" | "<=" | ">" | ">="
//   attribute := a run of characters other than blanks, operators, parentheses
//                and quotes ("name", "size", "BEOS:APP_SIG", ...)
//   value := "quoted text" (\" and \\ escape) | a run of characters other
//            than blanks and parentheses, ended also by "&&" or "||"
// In text comparisons with = and != a '*' in the value matches any run of
// characters. A number compares as a number with a numeric attribute.

#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

// The value of one attribute of a candidate entry.
struct QueryValue {
	bool isNumber = false;
	int64 number = 0;
	std::string text;
};

// What a predicate asks a candidate entry about.
class QueryCandidate {
public:
	virtual ~QueryCandidate();
	// False when the entry has no such attribute.
	virtual bool GetValue(const std::string& attribute, QueryValue* value) = 0;
};

class QueryPredicate {
public:
	enum Operator { kEqual, kNotEqual, kLess, kLessOrEqual, kGreater,
		kGreaterOrEqual };

	QueryPredicate();
	~QueryPredicate();

	// B_BAD_VALUE for text that does not follow the grammar.
	status_t Parse(const char* text);
	bool Matches(QueryCandidate* candidate) const;

	// The attributes the predicate names, in order of appearance.
	std::vector<std::string> Attributes() const;

	struct Node;

private:
	std::unique_ptr<Node> fRoot;
};

// Matches `text` against `pattern`, where '*' stands for any run of
// characters.
bool query_wildcard_match(const char* pattern, const char* text);

#endif // _QUERY_PREDICATE_H
