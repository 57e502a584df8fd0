#include "TxtLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Strings = std::vector<std::string>;

// What section flag of text yields into four entries that held "-" before.
Strings parse(const std::string& text, FlgTable flag = FLG_STR, int max = 4)
{
    juce::String dest[4] = {"-", "-", "-", "-"};
    const char* pointer = text.c_str(); // followed by the zero byte the parser relies on
    const int length = static_cast<int>(text.size());
    TxtLoader::Load(&pointer, &length, flag, dest, max);
    Strings out;
    for (const juce::String& s : dest)
        out.push_back(s.toStdString());
    return out;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

TEST(TxtParser, HeadersMatchBySubstringInTheOrderEofFontMacLangStr)
{
    EXPECT_EQ(parse(":STR_LANG\r\n\"a\"\r\n", FLG_LANG), (Strings{"a", "-", "-", "-"}));
    EXPECT_EQ(parse(":STR_LANG\r\n\"a\"\r\n"), (Strings{"-", "-", "-", "-"}));
    EXPECT_EQ(parse(":STRINGS\r\n\"b\"\r\n:THE_EOF_STR\r\n\"c\"\r\n"), (Strings{"b", "-", "-", "-"}));
    EXPECT_EQ(parse(":FONT_MAC_LANG\r\n\"d\"\r\n", FLG_FONT_MAC), (Strings{"d", "-", "-", "-"}));
}

TEST(TxtParser, KeepsOnlyLinesUnderTheRequestedHeaderThatAreNoComments)
{
    const std::string text =
        "\xEF\xBB\xBF\r\n\"bom\"\r\n:STR\r\n\"a\"\r\n#\"no\"\r\n\r\n:FONT_WIN\r\n\"Arial\"\r\n"
        ":OTHER\r\n\"x\"\r\n:STR\r\n  \"blank\"\r\n\t\"tab\"\r\n";
    EXPECT_EQ(parse(text), (Strings{"a", "blank", "tab", "-"}));
    EXPECT_EQ(parse(text, FLG_FONT_MAC), (Strings{"-", "-", "-", "-"}));
}

TEST(TxtParser, DecodesEscapesBetweenTheQuotesOnly)
{
    EXPECT_EQ(parse(":STR\r\n  \"a\\\"b\" trailing word\r\nid \"\\r\\n\\t\\\\\"\r\n\"x\\q\"\r\n\"end\\\r\n"),
              (Strings{"a\"b", "\r\n\t\\", "x\\q", "end\\"}));
}

TEST(TxtParser, AStringWithoutClosingQuoteRunsToTheLineEndAndALineWithoutQuoteIsEmpty)
{
    EXPECT_EQ(parse(":STR\r\n\"open to the end\r\nno quote\r\n\"next\"\r\n"),
              (Strings{"open to the end", "", "next", "-"}));
}

TEST(TxtParser, ReadsLfOnlyCrOnlyAndMixedFiles)
{
    const std::string crlf = "\xEF\xBB\xBF\r\n:STR\r\n\r\n\"\"\r\n\"one\"\r\n\"two\"\r\n\r\n:EOF\r\n";
    const Strings expected = {"", "one", "two", "-"};
    EXPECT_EQ(parse(crlf), expected);
    EXPECT_EQ(parse(replaceAll(crlf, "\r\n", "\n")), expected);
    EXPECT_EQ(parse(replaceAll(crlf, "\r\n", "\r")), expected);
    // An LF line runs on to the next CR and loses the byte before it; the LF after that CR then
    // starts a line that runs to the following CR and is skipped.
    EXPECT_EQ(parse(":STR\r\n\"a\nb\"\r\n\"c\"\r\n"), (Strings{"a\nb", "-", "-", "-"}));
}

TEST(TxtParser, EndsAtTheLengthWithoutEofAndReadsOnAfterAZeroByte)
{
    EXPECT_EQ(parse(":STR\r\n\"a\"\r\n\"b\""), (Strings{"a", "b", "-", "-"}));
    EXPECT_EQ(parse(std::string(":STR\n\"a\"\0\"b\"\n", 13)), (Strings{"a", "b", "-", "-"}));
}

TEST(TxtParser, StoresAtMostMaxStrings)
{
    const std::string five = ":STR\r\n\"0\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n";
    EXPECT_EQ(parse(five, FLG_STR, 3), (Strings{"0", "1", "2", "-"}));
    EXPECT_EQ(parse(five, FLG_STR, 0), (Strings{"-", "-", "-", "-"}));
    EXPECT_EQ(parse(five, FLG_STR, -1), (Strings{"-", "-", "-", "-"}));
}

TEST(TxtParser, CutsOverlongLinesAndReplacesMalformedUtf8)
{
    EXPECT_EQ(parse(":STR\r\n\"" + std::string(5000, 'x') + "\"\r\n\"after\"\r\n" + std::string(3000, '"')),
              (Strings{std::string(2046, 'x'), "after", "", "-"}));
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
    EXPECT_EQ(parse(":STR\r\n\"a\xC0\x80\"\r\n\"\xED\xA0\x80\"\r\n\"\xE6\x97\"\r\n\"\xE6\x97\xA5\"\r\n"),
              (Strings{"a" + bad + bad, bad + bad + bad, bad + bad, "\xE6\x97\xA5"}));
}

TEST(TxtParser, IgnoresMissingTextAndNegativeLengths)
{
    juce::String dest[1] = {"-"};
    const char* none = nullptr;
    const char* text = ":STR\n\"a\"\n";
    const int length = 10;
    const int negative = -1;
    TxtLoader::Load(&none, &length, FLG_STR, dest, 1);
    TxtLoader::Load(nullptr, &length, FLG_STR, dest, 1);
    TxtLoader::Load(&text, &negative, FLG_STR, dest, 1);
    TxtLoader::Load(LangCount, FLG_STR, dest, 1);
    EXPECT_EQ(dest[0], "-");
}

} // namespace
