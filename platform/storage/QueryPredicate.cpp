#include <QueryPredicate.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

struct QueryPredicate::Node {
	enum Kind { kTerm, kAnd, kOr };
	Kind kind = kTerm;
	// A term:
	std::string attribute;
	Operator op = kEqual;
	std::string value;
	// kAnd, kOr:
	std::unique_ptr<Node> left;
	std::unique_ptr<Node> right;
};

QueryCandidate::~QueryCandidate()
{
}

namespace {

bool
is_blank(char c)
{
	return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool
is_operator_char(char c)
{
	return c == '=' || c == '!' || c == '<' || c == '>';
}

class Parser {
public:
	explicit Parser(const char* text) : fText(text), fAt(text) {}

	std::unique_ptr<QueryPredicate::Node> ParseAll()
	{
		auto node = ParseExpression();
		SkipBlanks();
		if (node == nullptr || *fAt != '\0')
			return nullptr;
		return node;
	}

private:
	using Node = QueryPredicate::Node;

	void SkipBlanks()
	{
		while (is_blank(*fAt))
			fAt++;
	}

	bool Take(const char* token)
	{
		SkipBlanks();
		size_t length = strlen(token);
		if (strncmp(fAt, token, length) != 0)
			return false;
		fAt += length;
		return true;
	}

	std::unique_ptr<Node> Join(Node::Kind kind, std::unique_ptr<Node> left,
		std::unique_ptr<Node> right)
	{
		auto node = std::make_unique<Node>();
		node->kind = kind;
		node->left = std::move(left);
		node->right = std::move(right);
		return node;
	}

	std::unique_ptr<Node> ParseExpression()
	{
		auto node = ParseConjunction();
		while (node != nullptr && Take("||")) {
			auto right = ParseConjunction();
			if (right == nullptr)
				return nullptr;
			node = Join(Node::kOr, std::move(node), std::move(right));
		}
		return node;
	}

	std::unique_ptr<Node> ParseConjunction()
	{
		auto node = ParseTerm();
		while (node != nullptr && Take("&&")) {
			auto right = ParseTerm();
			if (right == nullptr)
				return nullptr;
			node = Join(Node::kAnd, std::move(node), std::move(right));
		}
		return node;
	}

	std::unique_ptr<Node> ParseTerm()
	{
		if (Take("(")) {
			auto node = ParseExpression();
			if (node == nullptr || !Take(")"))
				return nullptr;
			return node;
		}
		auto node = std::make_unique<Node>();
		if (!ParseAttribute(&node->attribute) || !ParseOperator(&node->op)
			|| !ParseValue(&node->value))
			return nullptr;
		return node;
	}

	bool ParseAttribute(std::string* attribute)
	{
		SkipBlanks();
		const char* start = fAt;
		while (*fAt != '\0' && !is_blank(*fAt) && !is_operator_char(*fAt)
			&& *fAt != '(' && *fAt != ')' && *fAt != '"' && *fAt != '&'
			&& *fAt != '|')
			fAt++;
		attribute->assign(start, fAt - start);
		return !attribute->empty();
	}

	bool ParseOperator(QueryPredicate::Operator* op)
	{
		// Longest first, so "<=" is not read as "<".
		static const struct {
			const char* token;
			QueryPredicate::Operator op;
		} kOperators[] = {
			{"==", QueryPredicate::kEqual}, {"!=", QueryPredicate::kNotEqual},
			{"<=", QueryPredicate::kLessOrEqual},
			{">=", QueryPredicate::kGreaterOrEqual},
			{"=", QueryPredicate::kEqual}, {"<", QueryPredicate::kLess},
			{">", QueryPredicate::kGreater},
		};
		for (const auto& candidate : kOperators) {
			if (Take(candidate.token)) {
				*op = candidate.op;
				return !is_operator_char(*fAt);
			}
		}
		return false;
	}

	bool ParseValue(std::string* value)
	{
		SkipBlanks();
		if (*fAt == '"')
			return ParseQuoted(value);
		const char* start = fAt;
		while (*fAt != '\0' && !is_blank(*fAt) && *fAt != '(' && *fAt != ')'
			&& strncmp(fAt, "&&", 2) != 0 && strncmp(fAt, "||", 2) != 0) {
			if (*fAt == '"')
				return false;
			fAt++;
		}
		value->assign(start, fAt - start);
		return !value->empty();
	}

	bool ParseQuoted(std::string* value)
	{
		fAt++;
		value->clear();
		while (*fAt != '"') {
			if (*fAt == '\0')
				return false;
			if (*fAt == '\\' && (fAt[1] == '"' || fAt[1] == '\\'))
				fAt++;
			value->push_back(*fAt++);
		}
		fAt++;
		return true;
	}

	const char* fText;
	const char* fAt;
};

bool
parse_number(const std::string& text, int64* number)
{
	if (text.empty())
		return false;
	errno = 0;
	char* end;
	long long value = strtoll(text.c_str(), &end, 0);
	if (errno != 0 || *end != '\0')
		return false;
	*number = value;
	return true;
}

template<typename T>
bool
compare(QueryPredicate::Operator op, const T& a, const T& b)
{
	switch (op) {
		case QueryPredicate::kEqual: return a == b;
		case QueryPredicate::kNotEqual: return a != b;
		case QueryPredicate::kLess: return a < b;
		case QueryPredicate::kLessOrEqual: return a <= b;
		case QueryPredicate::kGreater: return a > b;
		case QueryPredicate::kGreaterOrEqual: return a >= b;
	}
	return false;
}

bool
term_matches(const QueryPredicate::Node& term, QueryCandidate* candidate)
{
	QueryValue actual;
	if (!candidate->GetValue(term.attribute, &actual))
		return false;
	if (actual.isNumber) {
		int64 wanted;
		if (!parse_number(term.value, &wanted))
			return false;
		return compare(term.op, actual.number, wanted);
	}
	if (term.op == QueryPredicate::kEqual)
		return query_wildcard_match(term.value.c_str(), actual.text.c_str());
	if (term.op == QueryPredicate::kNotEqual)
		return !query_wildcard_match(term.value.c_str(), actual.text.c_str());
	return compare(term.op, strcmp(actual.text.c_str(), term.value.c_str()), 0);
}

bool
node_matches(const QueryPredicate::Node& node, QueryCandidate* candidate)
{
	switch (node.kind) {
		case QueryPredicate::Node::kAnd:
			return node_matches(*node.left, candidate)
				&& node_matches(*node.right, candidate);
		case QueryPredicate::Node::kOr:
			return node_matches(*node.left, candidate)
				|| node_matches(*node.right, candidate);
		case QueryPredicate::Node::kTerm:
			return term_matches(node, candidate);
	}
	return false;
}

void
collect_attributes(const QueryPredicate::Node& node,
	std::vector<std::string>* attributes)
{
	if (node.kind == QueryPredicate::Node::kTerm) {
		attributes->push_back(node.attribute);
		return;
	}
	collect_attributes(*node.left, attributes);
	collect_attributes(*node.right, attributes);
}

} // namespace

bool
query_wildcard_match(const char* pattern, const char* text)
{
	// Iterative matching with one backtrack point: the last '*' seen.
	const char* star = nullptr;
	const char* resume = nullptr;
	while (*text != '\0') {
		if (*pattern == '*') {
			star = pattern++;
			resume = text;
		} else if (*pattern == *text) {
			pattern++;
			text++;
		} else if (star != nullptr) {
			pattern = star + 1;
			text = ++resume;
		} else
			return false;
	}
	while (*pattern == '*')
		pattern++;
	return *pattern == '\0';
}

QueryPredicate::QueryPredicate()
{
}

QueryPredicate::~QueryPredicate()
{
}

status_t
QueryPredicate::Parse(const char* text)
{
	fRoot.reset();
	if (text == nullptr)
		return B_BAD_VALUE;
	Parser parser(text);
	fRoot = parser.ParseAll();
	return fRoot != nullptr ? B_OK : B_BAD_VALUE;
}

bool
QueryPredicate::Matches(QueryCandidate* candidate) const
{
	return fRoot != nullptr && candidate != nullptr
		&& node_matches(*fRoot, candidate);
}

std::vector<std::string>
QueryPredicate::Attributes() const
{
	std::vector<std::string> attributes;
	if (fRoot != nullptr)
		collect_attributes(*fRoot, &attributes);
	return attributes;
}
