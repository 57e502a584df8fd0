#include "TxtLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const char* const Unset = "\x01unset";

// The strings that section flag of text yields into a destination of size entries, all Unset before.
std::vector<std::string> parse(const std::string& text, FlgTable flag, int max, size_t size = 4)
{
    std::vector<juce::String> dest(size, Unset);
    const char* pointer = text.c_str(); // followed by the zero byte the parser relies on
    const int length = static_cast<int>(text.size());
    TxtLoader::Load(&pointer, &length, flag, dest.data(), max);
    std::vector<std::string> out;
    for (const juce::String& s : dest)
        out.push_back(s.toStdString());
    return out;
}

std::vector<std::string> strs(const std::string& text, int max = 4)
{
    return parse(text, FLG_STR, max);
}

std::vector<std::string> expect(std::vector<std::string> found, size_t size = 4)
{
    found.resize(size, Unset);
    return found;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

TEST(TxtParser, HeadersMatchBySubstringInTheOrderEofFontMacLangStr)
{
    EXPECT_EQ(parse(":STR_LANG\r\n\"a\"\r\n", FLG_LANG, 4), expect({"a"}));
    EXPECT_EQ(strs(":STR_LANG\r\n\"a\"\r\n"), expect({}));
    EXPECT_EQ(strs(":STRINGS\r\n\"b\"\r\n"), expect({"b"}));
    EXPECT_EQ(strs(":STR\r\n\"c\"\r\n:THE_EOF_STR\r\n\"d\"\r\n"), expect({"c"}));
    EXPECT_EQ(parse(":FONT_MAC_LANG\r\n\"e\"\r\n", FLG_FONT_MAC, 4), expect({"e"}));
}

TEST(TxtParser, UnknownHeadersDropTheirLinesUntilTheNextKnownOne)
{
    const std::string text =
        ":STR\r\n\"a\"\r\n:FONT_WIN\r\n\"Arial\"\r\n:OTHER\r\n\"b\"\r\n:STR\r\n\"c\"\r\n";
    EXPECT_EQ(strs(text), expect({"a", "c"}));
    EXPECT_EQ(parse(text, FLG_FONT_MAC, 4), expect({}));
}

TEST(TxtParser, LinesBeforeTheFirstHeaderBelongToNoSection)
{
    EXPECT_EQ(strs("\xEF\xBB\xBF\r\n\"x\"\r\n:STR\r\n\"y\"\r\n"), expect({"y"}));
}

TEST(TxtParser, SkipsCommentsAndEmptyLinesButReadsLinesStartingWithABlank)
{
    EXPECT_EQ(strs(":STR\r\n#\"no\"\r\n\r\n  \"yes\"\r\n\t\"tab\"\r\n"), expect({"yes", "tab"}));
}

TEST(TxtParser, DecodesEscapesAndIgnoresWhatStandsOutsideTheQuotes)
{
    EXPECT_EQ(strs(":STR\r\n  \"a\\\"b\" trailing word\r\n"), expect({"a\"b"}));
    EXPECT_EQ(strs(":STR\r\nid \"\\r\\n\\t\\\\\"\r\n"), expect({"\r\n\t\\"}));
    EXPECT_EQ(strs(":STR\r\n\"x\\q\"\r\n"), expect({"x\\q"}));
    EXPECT_EQ(strs(":STR\r\n\"ends in a backslash\\\r\n"), expect({"ends in a backslash\\"}));
}

TEST(TxtParser, StringWithoutClosingQuoteRunsToTheEndOfTheLine)
{
    EXPECT_EQ(strs(":STR\r\n\"open to the end\r\n\"next\"\r\n"), expect({"open to the end", "next"}));
}

TEST(TxtParser, DataLineWithoutAQuoteGivesAnEmptyString)
{
    EXPECT_EQ(strs(":STR\r\nno quote here\r\n\"b\"\r\n"), expect({"", "b"}));
}

TEST(TxtParser, ReadsLfOnlyAndCrOnlyFilesLikeTheirCrLfForm)
{
    const std::string crlf = "\xEF\xBB\xBF\r\n:STR\r\n\r\n\"\"\r\n\r\n\"one\"\r\n\"two\"\r\n\r\n:EOF\r\n";
    const auto expected = expect({"", "one", "two"});
    ASSERT_EQ(strs(crlf), expected);
    EXPECT_EQ(strs(replaceAll(crlf, "\r\n", "\n")), expected);
    EXPECT_EQ(strs(replaceAll(crlf, "\r\n", "\r")), expected);
}

TEST(TxtParser, InAMixedFileAnLfLineRunsOnToTheNextCrLosingTheByteBeforeIt)
{
    // The line runs from "a to b (its closing quote dropped); what follows the CR begins with LF.
    EXPECT_EQ(strs(":STR\r\n\"a\nb\"\r\n\"c\"\r\n"), expect({"a\nb"}));
}

TEST(TxtParser, FileWithoutEofEndsAtItsLengthAndZeroBytesEndLines)
{
    EXPECT_EQ(strs(":STR\r\n\"a\"\r\n\"b\""), expect({"a", "b"}));
    EXPECT_EQ(strs(std::string(":STR\n\"a\"\0\"b\"\n", 13)), expect({"a", "b"}));
}

TEST(TxtParser, KeepsAtMostMaxStringsAndLeavesTheRestOfDestAlone)
{
    const std::string five = ":STR\r\n\"0\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n";
    EXPECT_EQ(parse(five, FLG_STR, 3, 5), expect({"0", "1", "2"}, 5));
    EXPECT_EQ(parse(":STR\r\n\"0\"\r\n\"1\"\r\n", FLG_STR, 5, 5), expect({"0", "1"}, 5));
    EXPECT_EQ(parse(five, FLG_STR, 0, 5), expect({}, 5));
    EXPECT_EQ(parse(five, FLG_STR, -1, 5), expect({}, 5));
}

TEST(TxtParser, CutsLinesLongerThanItsBufferInsteadOfOverrunningIt)
{
    const std::string longLine = ":STR\r\n\"" + std::string(5000, 'x') + "\"\r\n\"after\"\r\n";
    EXPECT_EQ(strs(longLine), expect({std::string(2046, 'x'), "after"}));
    const std::string unterminated = ":STR\r\n" + std::string(3000, '"');
    EXPECT_EQ(strs(unterminated), expect({""}));
}

TEST(TxtParser, ReplacesMalformedUtf8InsteadOfHandingItOn)
{
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(strs(":STR\r\n\"a\xC0\x80"
                   "b\xE6\x97\"\r\n\"\xED\xA0\x80\"\r\n\"\xE6\x97\xA5\"\r\n"),
              expect({"a" + bad + bad + "b" + bad + bad, bad + bad + bad, "\xE6\x97\xA5"}));
}

TEST(TxtParser, RefusesMissingTextOrANegativeLength)
{
    juce::String dest[1] = {Unset};
    const char* none = nullptr;
    const int length = 10;
    TxtLoader::Load(&none, &length, FLG_STR, dest, 1);
    TxtLoader::Load(nullptr, &length, FLG_STR, dest, 1);
    const char* text = ":STR\n\"a\"\n";
    const int negative = -1;
    TxtLoader::Load(&text, &negative, FLG_STR, dest, 1);
    EXPECT_EQ(dest[0], Unset);
}

} // namespace
