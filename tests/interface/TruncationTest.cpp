// Strings cut to a width with an ellipsis: where the characters go, that
// the result fits, that a string that fits is left alone, and that a
// character of several bytes is never cut in two.

#include <Font.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kEllipsis = "\xe2\x80\xa6";

std::string
truncate(const std::string& text, uint32 mode, float width)
{
	const char* in[1] = {text.c_str()};
	std::vector<char> buffer(text.size() + 3, 'x');
	char* out[1] = {buffer.data()};
	be_plain_font->GetTruncatedStrings(in, 1, mode, width, out);
	return buffer.data();
}

bool
is_valid_utf8(const std::string& text)
{
	size_t i = 0;
	while (i < text.size()) {
		unsigned char lead = static_cast<unsigned char>(text[i]);
		size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3
			: (lead >> 3) == 0x1e ? 4 : 0;
		if (length == 0 || i + length > text.size())
			return false;
		for (size_t j = 1; j < length; j++) {
			if ((static_cast<unsigned char>(text[i + j]) & 0xc0) != 0x80)
				return false;
		}
		i += length;
	}
	return true;
}

} // namespace

TEST(TruncationTest, AStringThatFitsIsLeftAlone)
{
	std::string text = "Complete";
	float width = be_plain_font->StringWidth(text.c_str());
	EXPECT_EQ(truncate(text, B_TRUNCATE_END, width), text);
	EXPECT_EQ(truncate("", B_TRUNCATE_END, 0), "");
}

TEST(TruncationTest, EachModeKeepsItsEndsAndFits)
{
	std::string text = "Documentation, examples and every optional component";
	float width = be_plain_font->StringWidth(text.c_str()) / 2;

	std::string end = truncate(text, B_TRUNCATE_END, width);
	EXPECT_EQ(end.rfind("Documentation", 0), 0u) << end;
	EXPECT_EQ(end.substr(end.size() - kEllipsis.size()), kEllipsis);

	std::string beginning = truncate(text, B_TRUNCATE_BEGINNING, width);
	EXPECT_EQ(beginning.rfind(kEllipsis, 0), 0u) << beginning;
	EXPECT_EQ(beginning.substr(beginning.size() - 9), "component");

	std::string middle = truncate(text, B_TRUNCATE_MIDDLE, width);
	EXPECT_EQ(middle.rfind("Docu", 0), 0u) << middle;
	EXPECT_EQ(middle.substr(middle.size() - 4), "nent");
	EXPECT_NE(middle.find(kEllipsis), std::string::npos);

	for (const std::string& result : {end, beginning, middle}) {
		SCOPED_TRACE(result);
		EXPECT_LE(be_plain_font->StringWidth(result.c_str()), width);
		// Nearly the whole width is used.
		EXPECT_GT(be_plain_font->StringWidth(result.c_str()), width - 20);
	}
}

TEST(TruncationTest, CharactersOfSeveralBytesStayWhole)
{
	// Each "é" and "ö" is two bytes, each "€" three.
	std::string text = "Éléments €€€ des œuvres complètes à installer";
	float full = be_plain_font->StringWidth(text.c_str());
	for (float width = 10; width < full; width += 3) {
		for (uint32 mode : {B_TRUNCATE_END, B_TRUNCATE_BEGINNING, B_TRUNCATE_MIDDLE}) {
			std::string result = truncate(text, mode, width);
			ASSERT_TRUE(is_valid_utf8(result)) << width << " " << mode;
			ASSERT_LE(result.size(), text.size() + 2);
		}
	}
}

TEST(TruncationTest, NoRoomLeavesTheEllipsisAlone)
{
	EXPECT_EQ(truncate("Minimal", B_TRUNCATE_END, 1), kEllipsis);
}
