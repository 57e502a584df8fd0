// Name lookups against lists with missing names, odd values and long names. The lists are
// registered as the library's own bundle; this program has no resources of its own.
#include "HID_Name_Lookup.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

#include <cstring>
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

TEST(HIDNameLookupFaults, ANameBeyondTwiceItsLengthInBytesIsNotWritten)
{
    registerFaultLists();
    char name[128];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(HIDGetVendorNameFromVendorID(103, name), 0);
    EXPECT_EQ(name[0], '\0');
    // Nothing is written past the bound of 2 x 10 + 1 bytes.
    EXPECT_EQ(name[21], 'x');
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(103, 203, name), 0);
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
