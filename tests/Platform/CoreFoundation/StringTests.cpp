#include "CFTestHelpers.h"

namespace
{

using cftest::text;

template <typename... Arguments> std::string format(const char* format, Arguments... arguments)
{
    cf::Owned<CFStringRef> made(
        CFStringCreateWithFormat(nullptr, nullptr, cftest::string(format).get(), arguments...));
    return text(made.get());
}

TEST(String, CountsLengthInUtf16UnitsAndRefusesWhatIsNotItsEncoding)
{
    const std::pair<const char*, CFIndex> utf8[] = {
        {"abc", 3},
        {"Gr\xC3\xBC\xC3\x9F\x65", 5},
        {"\xE6\x97\xA5\xE6\x9C\xAC", 2},
        {"\xF0\x9F\x98\x80", 2}, // one emoji, a surrogate pair
        {"", 0},
        {"\xC3", -1},             // -1: refused
        {"\xC0\xAF", -1},         // overlong
        {"\xED\xA0\x80", -1},     // a surrogate
        {"\xF4\x90\x80\x80", -1}, // past U+10FFFF
    };
    for (const auto& [bytes, length] : utf8)
    {
        cf::Owned<CFStringRef> string(CFStringCreateWithCString(nullptr, bytes, kCFStringEncodingUTF8));
        EXPECT_EQ(string ? CFStringGetLength(string.get()) : -1, length) << bytes;
    }
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "caf\xC3\xA9", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
}

TEST(String, HandsOutItsTextOnlyWhereItFitsAndComparesByCodePoint)
{
    auto original = cftest::string("\xE6\x97\xA5\xE6\x9C\xAC"); // six bytes
    cf::Owned<CFStringRef> copy(CFStringCreateCopy(nullptr, original.get()));
    original.reset();
    char buffer[8] = "xxxxxxx";
    EXPECT_FALSE(CFStringGetCString(copy.get(), buffer, 6, kCFStringEncodingUTF8));
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_TRUE(CFStringGetCString(copy.get(), buffer, 7, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_FALSE(CFStringGetCString(copy.get(), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_TRUE(CFStringGetCString(CFSTR("en_GB"), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "en_GB");
    EXPECT_EQ(CFStringCompare(CFSTR("a"), CFSTR("b"), 0), kCFCompareLessThan);
    EXPECT_EQ(CFStringCompare(CFSTR("b"), CFSTR("B"), 0), kCFCompareGreaterThan);
    EXPECT_EQ(CFStringCompare(CFSTR("zh"), CFSTR("zh"), 0), kCFCompareEqualTo);
}

TEST(String, FormatsTheConversionsInUseAndObjectsWithAtSign)
{
    int notWritten = 0;
    EXPECT_EQ(format("%ld:%ld", 1L, 48L), "1:48");
    EXPECT_EQ(format("%d", int(0x80000000u)), "-2147483648");
    EXPECT_EQ(format("0x%4.4lX|0x%4.4lX|0x%4.4lX", 1L, 0xFF00L, 0x12345L), "0x0001|0xFF00|0x12345");
    EXPECT_EQ(format("%5.1f%%|%s|%c|%*d", 2.25, "ok", 'z', 3, 7), "  2.2%|ok|z|  7");
    EXPECT_EQ(format("%d%n|%d", 1, &notWritten, 2), "1|2");
    EXPECT_EQ(notWritten, 0);
    EXPECT_EQ(format("%@ %@", CFSTR("Generic Desktop"), CFSTR("X")), "Generic Desktop X");
    EXPECT_EQ(format("%@ %@", nullptr, CFSTR("Pad")), "(null) Pad");
    EXPECT_EQ(format("%@", cftest::number(42).get()), "42");
    EXPECT_EQ(format("d:{v:%ld, p:%ld, l:%ld, p:%d, u:%d}, e:{p:%d, u:%d, c:%d}", 12L, 34L, 0x80000000L, 1, 6,
                     9, 1, -3),
              "d:{v:12, p:34, l:2147483648, p:1, u:6}, e:{p:9, u:1, c:-3}");
}

} // namespace
