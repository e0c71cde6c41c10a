// Parsing and evaluating query predicates against a made-up entry.

#include <QueryPredicate.h>

#include <gtest/gtest.h>

#include <map>

namespace {

class FakeEntry : public QueryCandidate {
public:
	FakeEntry& Number(const std::string& name, int64 value)
	{
		fValues[name].isNumber = true;
		fValues[name].number = value;
		return *this;
	}

	FakeEntry& Text(const std::string& name, const std::string& value)
	{
		fValues[name].text = value;
		return *this;
	}

	bool GetValue(const std::string& attribute, QueryValue* value) override
	{
		auto found = fValues.find(attribute);
		if (found == fValues.end())
			return false;
		*value = found->second;
		return true;
	}

private:
	std::map<std::string, QueryValue> fValues;
};

bool
matches(const char* text, FakeEntry& entry)
{
	QueryPredicate predicate;
	EXPECT_EQ(predicate.Parse(text), B_OK) << text;
	return predicate.Matches(&entry);
}

} // namespace

TEST(QueryPredicate, TheInstallersPredicates)
{
	FakeEntry tool;
	tool.Number("size", 123456).Text("name", "Tool")
		.Text("BEOS:APP_SIG", "application/x-vnd.Maker-Tool");
	EXPECT_TRUE(matches("size = 123456", tool));
	EXPECT_FALSE(matches("size = 123457", tool));
	EXPECT_TRUE(matches("BEOS:APP_SIG = application/x-vnd.Maker-Tool", tool));
	EXPECT_FALSE(matches("BEOS:APP_SIG = application/x-vnd.Maker-Other", tool));
	EXPECT_TRUE(matches("name = Tool && size = 123456", tool));
	EXPECT_FALSE(matches("name = Tool && size = 1", tool));

	FakeEntry unsigned_;
	unsigned_.Number("size", 123456).Text("name", "Tool");
	EXPECT_FALSE(matches("BEOS:APP_SIG = application/x-vnd.Maker-Tool", unsigned_))
		<< "an entry without the attribute never matches";
	EXPECT_FALSE(matches("BEOS:APP_SIG != x", unsigned_));
}

TEST(QueryPredicate, OperatorsQuotesWildcardsAndGrouping)
{
	FakeEntry entry;
	entry.Number("size", 100).Text("name", "Read Me.txt").Number("count", -3);
	EXPECT_TRUE(matches("name == \"Read Me.txt\"", entry));
	EXPECT_TRUE(matches("name = \"Read*\"", entry));
	EXPECT_TRUE(matches("name = *.txt", entry));
	EXPECT_TRUE(matches("name = *Me*", entry));
	EXPECT_FALSE(matches("name = *.html", entry));
	EXPECT_TRUE(matches("name != *.html", entry));
	EXPECT_TRUE(matches("size >= 100 && size <= 100 && size > 99 && size < 101", entry));
	EXPECT_FALSE(matches("size > 100", entry));
	EXPECT_TRUE(matches("size = 0x64", entry));
	EXPECT_TRUE(matches("count < 0", entry));
	EXPECT_FALSE(matches("size = big", entry)) << "no number, no match";
	EXPECT_TRUE(matches("(size = 1) || (name = \"Read Me.txt\" && size = 100)", entry));
	EXPECT_FALSE(matches("((size = 1))", entry));
	EXPECT_TRUE(matches("name < \"S\" && name > \"Q\"", entry));
	EXPECT_TRUE(matches("name==\"a \\\"quoted\\\" name\" || size==100", entry));

	FakeEntry quoted;
	quoted.Text("name", "a \"quoted\" name");
	EXPECT_TRUE(matches("name == \"a \\\"quoted\\\" name\"", quoted));

	QueryPredicate predicate;
	ASSERT_EQ(predicate.Parse("size = 1 && BEOS:TYPE = text/plain || name = x"), B_OK);
	EXPECT_EQ(predicate.Attributes(),
		(std::vector<std::string>{"size", "BEOS:TYPE", "name"}));
}

TEST(QueryPredicate, MalformedPredicatesAreRefused)
{
	const char* malformed[] = {
		"", "   ", "size", "size =", "= 3", "size = 1 &&", "&& size = 1",
		"size = 1 size = 2", "(size = 1", "size = 1)", "name = \"open",
		"size =< 3", "size === 3", "size <> 3", "size = 1 & name = x",
		"name = a\"b",
	};
	for (const char* text : malformed) {
		QueryPredicate predicate;
		EXPECT_EQ(predicate.Parse(text), B_BAD_VALUE) << "'" << text << "'";
		FakeEntry entry;
		entry.Number("size", 1);
		EXPECT_FALSE(predicate.Matches(&entry)) << text;
	}
	QueryPredicate predicate;
	EXPECT_EQ(predicate.Parse(nullptr), B_BAD_VALUE);
}

TEST(QueryPredicate, WildcardMatching)
{
	EXPECT_TRUE(query_wildcard_match("*", ""));
	EXPECT_TRUE(query_wildcard_match("a*b*c", "aXXbYYc"));
	EXPECT_TRUE(query_wildcard_match("a*c", "abcbc"));
	EXPECT_FALSE(query_wildcard_match("a*c", "abcb"));
	EXPECT_FALSE(query_wildcard_match("abc", "abcd"));
	EXPECT_TRUE(query_wildcard_match("**x", "x"));
	EXPECT_FALSE(query_wildcard_match("", "x"));
}
