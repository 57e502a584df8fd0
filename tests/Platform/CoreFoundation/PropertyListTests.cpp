#include "Base64.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace
{

cf::Owned<> parse(const std::string& text, CFOptionFlags options = kCFPropertyListImmutable,
                  CFStringRef* error = nullptr)
{
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                           static_cast<CFIndex>(text.size())));
    return cf::Owned<>(CFPropertyListCreateFromXMLData(nullptr, data.get(), options, error));
}

std::string document(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

cf::Owned<CFStringRef> string(const char* text)
{
    return cf::Owned<CFStringRef>(CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
}

TEST(PropertyList, ReadsTheNestedNameTables)
{
    auto list =
        parse(document("<dict>"
                       "  <key>1452</key><dict><key>Name</key><string>Vendor &amp; Co</string>"
                       "    <key>34</key><dict><key>1:48</key><string>X-Achse \xC3\xBC</string></dict></dict>"
                       "  <key>numbers</key><array><integer>-2147483648</integer><integer>0x1F</integer>"
                       "    <real>2.5</real><true/><false/><data>AAEC/w==</data></array>"
                       "</dict>"));
    ASSERT_EQ(CFGetTypeID(list.get()), CFDictionaryGetTypeID());
    auto root = static_cast<CFDictionaryRef>(list.get());
    auto vendor = static_cast<CFDictionaryRef>(CFDictionaryGetValue(root, CFSTR("1452")));
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(vendor, CFSTR("Name")), CFSTR("Vendor & Co")));
    auto product = static_cast<CFDictionaryRef>(CFDictionaryGetValue(vendor, CFSTR("34")));
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(product, CFSTR("1:48")), string("X-Achse \xC3\xBC").get()));

    auto numbers = static_cast<CFArrayRef>(CFDictionaryGetValue(root, CFSTR("numbers")));
    ASSERT_EQ(CFArrayGetCount(numbers), 6);
    int32_t value = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(numbers, 0)),
                                 kCFNumberSInt32Type, &value));
    EXPECT_EQ(value, INT32_MIN);
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(numbers, 1)), kCFNumberSInt32Type,
                     &value);
    EXPECT_EQ(value, 31);
    EXPECT_TRUE(CFNumberIsFloatType(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(numbers, 2))));
    EXPECT_EQ(CFArrayGetValueAtIndex(numbers, 3), kCFBooleanTrue);
    EXPECT_EQ(CFArrayGetValueAtIndex(numbers, 4), kCFBooleanFalse);
    auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(numbers, 5));
    ASSERT_EQ(CFDataGetLength(data), 4);
    EXPECT_EQ(CFDataGetBytePtr(data)[3], 0xFF);
}

TEST(PropertyList, ContainersAreImmutableUnlessAskedOtherwise)
{
    const std::string text = document("<array><string>a</string></array>");
    auto fixed = parse(text);
    CFArrayAppendValue((CFMutableArrayRef)fixed.get(), CFSTR("b"));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(fixed.get())), 1);
    auto changeable = parse(text, kCFPropertyListMutableContainers);
    CFArrayAppendValue((CFMutableArrayRef)changeable.get(), CFSTR("b"));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(changeable.get())), 2);
}

TEST(PropertyList, WrittenListsReadBackEqual)
{
    const double real = 0.1;
    const long long big = 1LL << 40;
    cf::Owned<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberFloat64Type, &real));
    cf::Owned<CFNumberRef> integer(CFNumberCreate(nullptr, kCFNumberLongLongType, &big));
    const UInt8 bytes[] = {0, 1, 2, 250, 251};
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, bytes, 5));
    cf::Owned<CFDateRef> date(CFDateCreate(nullptr, -978307200)); // the start of 1970
    // What XML would change unless escaped, and the edges of what it carries.
    cf::Owned<CFStringRef> text(
        string(" cr\r crlf\r\n tab\t <&>\"' ]]> \x7F \xEF\xBF\xBD \xF4\x8F\xBF\xBF "));
    const void* items[] = {number.get(), integer.get(), data.get(), kCFBooleanTrue, text.get(), date.get()};
    cf::Owned<CFArrayRef> array(CFArrayCreate(nullptr, items, 6, &kCFTypeArrayCallBacks));
    const void* keys[] = {CFSTR("AppleLanguages"), CFSTR("\xE6\x97\xA5\xE6\x9C\xAC")};
    const void* values[] = {array.get(), CFSTR("")};
    cf::Owned<CFDictionaryRef> root(CFDictionaryCreate(
        nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));

    cf::Owned<CFDataRef> xml(CFPropertyListCreateXMLData(nullptr, root.get()));
    ASSERT_TRUE(xml);
    EXPECT_NE(std::string_view(reinterpret_cast<const char*>(CFDataGetBytePtr(xml.get())),
                               CFDataGetLength(xml.get()))
                  .find("<date>1970-01-01T00:00:00Z</date>"),
              std::string_view::npos);
    cf::Owned<> back(CFPropertyListCreateFromXMLData(nullptr, xml.get(), kCFPropertyListImmutable, nullptr));
    EXPECT_TRUE(CFEqual(back.get(), root.get()));
    cf::Owned<CFDataRef> again(CFPropertyListCreateXMLData(nullptr, back.get()));
    EXPECT_TRUE(CFEqual(again.get(), xml.get())); // keys are written in a fixed order
}

TEST(PropertyList, MalformedDocumentsGiveNullAndAReason)
{
    const char* malformed[] = {
        "",
        "not xml at all",
        "<plist><dict><key>a</key></dict></plist>",                         // key without value
        "<plist><dict><string>a</string><string>b</string></dict></plist>", // value without key
        "<plist><array>text<string>a</string></array></plist>",             // stray text
        "<plist><integer>12x</integer></plist>",
        "<plist><integer>9223372036854775808</integer></plist>", // past the signed range
        "<plist><real>one</real></plist>",
        "<plist><data>@@@@</data></plist>",
        "<plist><date>2023-02-29T00:00:00Z</date></plist>", // no such day
        "<plist><date>2020-01-01 00:00:00</date></plist>",
        "<plist><string>a</string><string>b</string></plist>", // two values
        "<plist><string><b>bold</b></string></plist>",
        "<plist><true>yes</true></plist>",
        "<plist><array><string>unclosed</array></plist>",
        "<plist><string>\xC3</string></plist>", // not UTF-8
    };
    for (const char* text : malformed)
    {
        CFStringRef error = nullptr;
        EXPECT_FALSE(parse(text, kCFPropertyListImmutable, &error)) << text;
        EXPECT_NE(error, nullptr) << text;
        if (error != nullptr)
            CFRelease(error);
    }
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<array>";
    EXPECT_FALSE(parse(document(deep)));
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(PropertyList, AcceptsABareValueAndEdgeNumbers)
{
    auto bare = parse("<string>alone</string>");
    EXPECT_TRUE(CFEqual(bare.get(), CFSTR("alone")));
    auto lowest = parse(document("<integer>-9223372036854775808</integer>"));
    int64_t value = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(lowest.get()), kCFNumberSInt64Type, &value));
    EXPECT_EQ(value, INT64_MIN);
    auto infinite = parse(document("<real>-infinity</real>"));
    double real = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(infinite.get()), kCFNumberFloat64Type, &real);
    EXPECT_TRUE(std::isinf(real) && real < 0);
    auto empty = parse(document("<string/>"));
    EXPECT_EQ(CFStringGetLength(static_cast<CFStringRef>(empty.get())), 0);
}

TEST(Base64, DecodesWhatItEncodesAndRefusesBadPadding)
{
    const uint8_t bytes[] = {'h', 'i', '!', 0, 0xFF};
    for (size_t length = 0; length <= 5; ++length)
    {
        const std::string text = cf::base64::encode(bytes, length);
        const auto decoded = cf::base64::decode(text);
        ASSERT_TRUE(decoded) << text;
        EXPECT_EQ(*decoded, std::vector<uint8_t>(bytes, bytes + length));
    }
    EXPECT_EQ(cf::base64::encode(bytes, 2), "aGk=");
    EXPECT_TRUE(cf::base64::decode(" aG\nk= "));
    EXPECT_FALSE(cf::base64::decode("a"));
    EXPECT_FALSE(cf::base64::decode("aGk=a"));
    EXPECT_FALSE(cf::base64::decode("aG=k"));
    EXPECT_FALSE(cf::base64::decode("aGk==="));
}

} // namespace
