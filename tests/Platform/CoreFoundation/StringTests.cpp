#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <string>

namespace
{

std::string text(CFStringRef string)
{
    const char* bytes = CFStringGetCStringPtr(string, kCFStringEncodingUTF8);
    return bytes != nullptr ? bytes : "<not a string>";
}

cf::Owned<CFStringRef> utf8(const char* bytes)
{
    return cf::Owned<CFStringRef>(
        CFStringCreateWithCString(kCFAllocatorDefault, bytes, kCFStringEncodingUTF8));
}

TEST(String, CountsLengthInUtf16Units)
{
    EXPECT_EQ(CFStringGetLength(utf8("abc").get()), 3);
    EXPECT_EQ(CFStringGetLength(utf8("Gr\xC3\xBC\xC3\x9F"
                                     "e")
                                    .get()),
              5);                                                            // Grüße
    EXPECT_EQ(CFStringGetLength(utf8("\xE6\x97\xA5\xE6\x9C\xAC").get()), 2); // 日本
    EXPECT_EQ(CFStringGetLength(utf8("\xF0\x9F\x98\x80").get()), 2);         // one emoji, a surrogate pair
    EXPECT_EQ(CFStringGetLength(utf8("").get()), 0);
}

TEST(String, RefusesMalformedUtf8AndNonAsciiAsAscii)
{
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xC3", kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xC0\xAF", kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xED\xA0\x80", kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xF4\x90\x80\x80", kCFStringEncodingUTF8),
              nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "caf\xC3\xA9", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, nullptr, kCFStringEncodingUTF8), nullptr);
}

TEST(String, GetCStringFailsWhenTheBufferIsTooSmall)
{
    auto word = utf8("\xE6\x97\xA5\xE6\x9C\xAC"); // six bytes
    char buffer[8] = "xxxxxxx";
    EXPECT_FALSE(CFStringGetCString(word.get(), buffer, 6, kCFStringEncodingUTF8));
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_TRUE(CFStringGetCString(word.get(), buffer, 7, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_FALSE(CFStringGetCString(word.get(), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_TRUE(CFStringGetCString(CFSTR("en_GB"), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "en_GB");
    EXPECT_FALSE(CFStringGetCString(CFSTR("en_GB"), buffer, 5, kCFStringEncodingASCII));
}

TEST(String, CopyOwnsTheSameText)
{
    auto original = utf8("HID_usage_strings");
    cf::Owned<CFStringRef> copy(CFStringCreateCopy(kCFAllocatorDefault, original.get()));
    original.reset();
    EXPECT_EQ(text(copy.get()), "HID_usage_strings");
    EXPECT_TRUE(CFEqual(copy.get(), CFSTR("HID_usage_strings")));
    EXPECT_EQ(CFHash(copy.get()), CFHash(CFSTR("HID_usage_strings")));
}

TEST(String, FormatsTheConversionsInUse)
{
    auto format = [](CFStringRef made) { return cf::Owned<CFStringRef>(made); };
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%ld"), 1452L)).get()), "1452");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%ld:%ld"), 1L, 48L)).get()),
              "1:48");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%d"), int(0x80000000u))).get()),
              "-2147483648");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("0x%4.4lX"), 1L)).get()),
              "0x0001");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("0x%4.4lX"), 0xFF00L)).get()),
              "0xFF00");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("0x%4.4lX"), 0x12345L)).get()),
              "0x12345");
    EXPECT_EQ(text(format(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%5.1f%%|%s|%c|%*d"), 2.25, "ok",
                                                   'z', 3, 7))
                       .get()),
              "  2.2%|ok|z|  7");
}

TEST(String, FormatsObjectsWithAtSign)
{
    int value = 42;
    cf::Owned<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberIntType, &value));
    cf::Owned<CFStringRef> pair(
        CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@ %@"), CFSTR("Generic Desktop"), CFSTR("X")));
    EXPECT_EQ(text(pair.get()), "Generic Desktop X");
    cf::Owned<CFStringRef> withNull(
        CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@ %@"), nullptr, CFSTR("Pad")));
    EXPECT_EQ(text(withNull.get()), "(null) Pad");
    cf::Owned<CFStringRef> withNumber(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), number.get()));
    EXPECT_EQ(text(withNumber.get()), "42");
    cf::Owned<CFStringRef> long_(CFStringCreateWithFormat(
        nullptr, nullptr, CFSTR("d:{v:%ld, p:%ld, l:%ld, p:%d, u:%d}, e:{p:%d, u:%d, c:%d}"), 12L, 34L,
        0x80000000L, 1, 6, 9, 1, -3));
    EXPECT_EQ(text(long_.get()), "d:{v:12, p:34, l:2147483648, p:1, u:6}, e:{p:9, u:1, c:-3}");
}

TEST(String, ComparesByCodePoint)
{
    EXPECT_EQ(CFStringCompare(CFSTR("a"), CFSTR("b"), 0), kCFCompareLessThan);
    EXPECT_EQ(CFStringCompare(CFSTR("b"), CFSTR("B"), 0), kCFCompareGreaterThan);
    EXPECT_EQ(CFStringCompare(CFSTR("zh"), CFSTR("zh"), 0), kCFCompareEqualTo);
}

} // namespace
