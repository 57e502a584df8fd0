#include "Base64.h"
#include "CFTestHelpers.h"

#include <cmath>

namespace
{

using cftest::kept;
using cftest::number;
using cftest::parse;

TEST(PropertyList, ReadsEachKindOfValue)
{
    const std::pair<const char*, cf::Owned<>> cases[] = {
        {"<string>Vendor &amp; Co</string>", kept(CFSTR("Vendor & Co"))},
        {"<string>X-Achse \xC3\xBC</string>", kept(cftest::string("X-Achse \xC3\xBC").get())},
        {"<string/>", kept(CFSTR(""))},
        {"<integer>-2147483648</integer>", kept(number(INT32_MIN).get())},
        {"<integer>-9223372036854775808</integer>", kept(number(INT64_MIN).get())},
        {"<integer>0x1F</integer>", kept(number(31).get())},
        {"<real>2.5</real>", kept(number(2.5).get())},
        {"<real>-infinity</real>", kept(number(-HUGE_VAL).get())},
        {"<true/>", kept(kCFBooleanTrue)},
        {"<false/>", kept(kCFBooleanFalse)},
        {"<data>AAEC/w==</data>",
         cf::Owned<>(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>("\0\1\2\xFF"), 4))},
        {"<dict><key>1:48</key><array><string>X</string></array></dict>",
         kept(cftest::dictionary({CFSTR("1:48")}, {cftest::array({CFSTR("X")}).get()}).get())},
    };
    for (const auto& [body, value] : cases)
        EXPECT_TRUE(CFEqual(parse(body).get(), value.get())) << body; // a bare value needs no <plist>
}

TEST(PropertyList, ContainersAreImmutableUnlessAskedOtherwise)
{
    const std::string text = "<plist><array><string>a</string></array></plist>";
    auto fixed = parse(text), changeable = parse(text, kCFPropertyListMutableContainers);
    CFArrayAppendValue((CFMutableArrayRef)fixed.get(), CFSTR("b"));
    CFArrayAppendValue((CFMutableArrayRef)changeable.get(), CFSTR("b"));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(fixed.get())), 1);
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(changeable.get())), 2);
}

TEST(PropertyList, WrittenListsReadBackEqual)
{
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>("\0\1\2\xFA\xFB"), 5));
    cf::Owned<CFDateRef> date(CFDateCreate(nullptr, -978307200)); // the start of 1970
    // What XML would change unless escaped, and the edges of what it carries.
    auto text = cftest::string(" cr\r crlf\r\n tab\t <&>\"' ]]> \x7F \xEF\xBF\xBD \xF4\x8F\xBF\xBF ");
    auto list = cftest::array({number(0.1).get(), number(1LL << 40).get(), data.get(), kCFBooleanTrue,
                               kCFBooleanFalse, text.get(), date.get()});
    auto root = cftest::dictionary({CFSTR("AppleLanguages"), CFSTR("\xE6\x97\xA5\xE6\x9C\xAC")},
                                   {list.get(), CFSTR("")});
    const std::string xml = cftest::xmlOf(root.get());
    EXPECT_NE(xml.find("<date>1970-01-01T00:00:00Z</date>"), std::string::npos);
    auto back = parse(xml);
    EXPECT_TRUE(CFEqual(back.get(), root.get()));
    EXPECT_EQ(cftest::xmlOf(back.get()), xml); // keys are written in a fixed order
}

TEST(PropertyList, MalformedDocumentsGiveNullAndAReason)
{
    std::string deep; // deeper than the reader goes, but not libxml2
    for (int i = 0; i < 250; ++i)
        deep = "<array>" + deep + "</array>";
    const std::string malformed[] = {
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
        "<plist><string>\xC3</string></plist>", // not UTF-8
        deep,
    };
    for (const std::string& text : malformed)
    {
        CFStringRef error = nullptr;
        EXPECT_FALSE(parse(text, kCFPropertyListImmutable, &error)) << text.substr(0, 80);
        EXPECT_NE(cf::Owned<CFStringRef>(error).get(), nullptr) << text.substr(0, 80);
    }
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Base64, EncodesTheStandardWayDecodesWhatItEncodesAndRefusesBadPadding)
{
    const uint8_t bytes[] = {'h', 'i', '!', 0, 0xFF};
    for (size_t length = 0; length <= 5; ++length) // no group, and each kind of last group
        EXPECT_EQ(cf::base64::decode(cf::base64::encode(bytes, length)),
                  std::vector<uint8_t>(bytes, bytes + length))
            << length;
    EXPECT_EQ(cf::base64::encode(reinterpret_cast<const uint8_t*>("hi"), 2), "aGk=");
    EXPECT_TRUE(cf::base64::decode(" aG\nk= "));
    for (const char* bad : {"a", "aG=", "aGk=a", "aG=k", "aGk==="})
        EXPECT_FALSE(cf::base64::decode(bad)) << bad;
}

} // namespace
