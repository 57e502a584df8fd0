// Name lookups against lists with missing names, odd values and long names. The lists are
// registered as the library's own bundle; this program has no resources of its own.
#include "HID_Name_Lookup.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace
{
std::string usageName(long usagePage, long usage)
{
    CFStringRef name = HIDCopyUsageName(usagePage, usage);
    if (name == nullptr)
        return "(none)";
    char text[256] = {};
    CFStringGetCString(name, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(name);
    return text;
}

void registerFaultLists()
{
    ASSERT_NE(CFBundleRegisterWithIdentifier(kHIDUtilitiesBundleIdentifier, HID_TEST_RESOURCES "/Faults"),
              nullptr);
}
} // namespace

// Runs first: the lists are absent until the bundle is registered, and each lookup searches again.
TEST(HIDNameLookupFaults, FailsWhileTheListsAreAbsentAndFindsThemOnceRegistered)
{
    char name[64];
    std::strcpy(name, "stale");
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(100, 200, 1, 48, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(usageName(2, 0xBA), "(none)");
    EXPECT_EQ(hu_XMLLoad(CFSTR("HID_cookie_strings"), CFSTR("plist")), nullptr);

    registerFaultLists();
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(100, 200, 1, 48, name), 1);
    EXPECT_STREQ(name, "Tilt");
    EXPECT_EQ(usageName(2, 0xBA), "Sim Rudder");
}

TEST(HIDNameLookupFaults, AVendorWithoutANameFailsOnlyTheVendorLookup)
{
    registerFaultLists();
    char name[64];
    std::strcpy(name, "stale");
    EXPECT_EQ(HIDGetVendorNameFromVendorID(100, name), 0);
    EXPECT_STREQ(name, "");

    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(100, 200, 5, name), 1);
    EXPECT_STREQ(name, "Fifth");
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(100, 200, 1, 48, name), 1);
    EXPECT_STREQ(name, "Tilt");

    // The missing vendor name is rendered by the formatter; the product's name still follows it.
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(100, 200, name), 1);
    EXPECT_EQ(std::string(name).substr(std::strlen(name) - 7), " Widget");
}

TEST(HIDNameLookupFaults, AProductWithoutANameStillGivesAProductText)
{
    registerFaultLists();
    char name[64];
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(101, 201, name), 1);
    EXPECT_EQ(std::string(name).rfind("Acme ", 0), 0u);
}

TEST(HIDNameLookupFaults, AnElementNameThatIsNoStringIsWrittenAsItsText)
{
    registerFaultLists();
    char name[64];
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(101, 201, 1, 49, name), 1);
    EXPECT_STREQ(name, "7");
}

TEST(HIDNameLookupFaults, ACookieWithTheTopBitSetIsLookedUpAsANegativeNumber)
{
    registerFaultLists();
    char name[64];
    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(100, 200, 0x80000000u, name), 1);
    EXPECT_STREQ(name, "Top Cookie");
    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(100, 200, 6, name), 0);
    EXPECT_STREQ(name, "");
}

TEST(HIDNameLookupFaults, ANameThatDoesNotFitIsNotWrittenAndNothingPassesTheBound)
{
    registerFaultLists();
    struct Case
    {
        const char* what;
        std::function<Boolean(char*)> lookup;
        size_t bound;
    };
    const Case cases[] = {
        // Ten three-byte characters need 31 bytes; twice their length plus one is 21.
        {"vendor of 3-byte name", [](char* name) { return HIDGetVendorNameFromVendorID(103, name); }, 21},
        {"product of 3-byte names",
         [](char* name) { return HIDGetProductNameFromVendorProductID(103, 203, name); }, 41},
        // 300 ASCII characters fit twice their length, but not the name buffer.
        {"long vendor", [](char* name) { return HIDGetVendorNameFromVendorID(106, name); },
         kHIDNameBufferSize},
        {"long product", [](char* name) { return HIDGetProductNameFromVendorProductID(106, 206, name); },
         kHIDNameBufferSize},
        {"long cookie name",
         [](char* name) { return HIDGetElementNameFromVendorProductCookie(106, 206, 7, name); },
         kHIDNameBufferSize},
        // 255 bytes of vendor name and a space: one byte too many with the terminator.
        {"product one byte too long",
         [](char* name) { return HIDGetProductNameFromVendorProductID(107, 207, name); }, kHIDNameBufferSize},
    };
    for (const Case& c : cases)
    {
        char name[2 * kHIDNameBufferSize];
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(c.lookup(name), 0) << c.what;
        EXPECT_EQ(name[0], '\0') << c.what;
        EXPECT_EQ(std::string(name + c.bound, sizeof name - c.bound), std::string(sizeof name - c.bound, 'x'))
            << c.what;
    }

    // The longest name that fits: 255 bytes and the terminator.
    char name[2 * kHIDNameBufferSize];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(HIDGetVendorNameFromVendorID(107, name), 1);
    EXPECT_EQ(std::strlen(name), size_t(kHIDNameBufferSize - 1));
}

TEST(HIDNameLookupFaults, EntriesOfTheWrongKindAreRefused)
{
    registerFaultLists();
    char name[64];
    EXPECT_EQ(HIDGetVendorNameFromVendorID(104, name), 0);
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(104, 1, name), 0);
    EXPECT_EQ(HIDGetVendorNameFromVendorID(105, name), 0);
    EXPECT_STREQ(name, "");
}

TEST(HIDNameLookupFaults, TheLookupsBehindThePublicOnesLeaveTheBufferAloneWhenNothingIsFound)
{
    registerFaultLists();
    char name[64];
    std::strcpy(name, "keep");
    EXPECT_EQ(hu_XMLSearchForVendorNameByVendorID(999, name), 0);
    EXPECT_EQ(hu_XMLSearchForProductNameByVendorProductID(100, 999, name), 0);
    EXPECT_EQ(hu_XMLSearchForElementNameByCookie(100, 200, 77, name), 0);
    EXPECT_EQ(hu_XMLSearchForElementNameByUsage(100, 200, 1, 50, name), 0);
    EXPECT_STREQ(name, "keep");
}

TEST(HIDNameLookupFaults, AUsageNameNeedsBothThePageNameAndTheUsage)
{
    registerFaultLists();
    EXPECT_EQ(usageName(1, 0x30), "(none)");
    EXPECT_EQ(usageName(2, 0xBB), "(none)");
    EXPECT_EQ(usageName(0x12345, 1), "Wide One");
}
