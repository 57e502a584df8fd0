// Name lookups against lists with missing names, odd values and long names. The lists are
// registered as the library's own bundle; this program has no resources of its own.
#include "NameLookups.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using testing::EndsWith;
using testing::StartsWith;

namespace
{
void registerFaultLists()
{
    ASSERT_NE(CFBundleRegisterWithIdentifier(kHIDUtilitiesBundleIdentifier, HID_TEST_RESOURCES "/Faults"),
              nullptr);
}
} // namespace

// Runs first: the lists are absent until the bundle is registered, and each lookup searches again.
TEST(HIDNameLookupFaults, FailsWhileTheListsAreAbsentAndFindsThemOnceRegistered)
{
    EXPECT_EQ(names::element(100, 200, 1, 48), "(none)");
    EXPECT_EQ(names::usage(2, 0xBA), "(none)");
    EXPECT_EQ(hu_XMLLoad(CFSTR("HID_cookie_strings"), CFSTR("plist")), nullptr);
    registerFaultLists();
    EXPECT_EQ(names::element(100, 200, 1, 48), "Tilt");
    EXPECT_EQ(names::usage(2, 0xBA), "Sim Rudder");
}

TEST(HIDNameLookupFaults, AnOddEntryFailsOnlyItsOwnLookup)
{
    registerFaultLists();
    EXPECT_EQ(names::vendor(100), "(none)") << "a vendor without a name";
    EXPECT_EQ(names::cookie(100, 200, 5), "Fifth");
    // A missing vendor or product name is rendered by the formatter; the other name still shows.
    EXPECT_THAT(names::product(100, 200), EndsWith(" Widget"));
    EXPECT_THAT(names::product(101, 201), StartsWith("Acme "));
    EXPECT_EQ(names::element(101, 201, 1, 49), "7") << "a name that is no string is written as its text";
    EXPECT_EQ(names::cookie(100, 200, 0x80000000u), "Top Cookie") << "keyed as a negative number";
    EXPECT_EQ(names::cookie(100, 200, 6), "(none)");
    EXPECT_EQ(names::vendor(104), "(none)") << "a vendor that is no dictionary";
    EXPECT_EQ(names::product(104, 1), "(none)");
    EXPECT_EQ(names::vendor(105), "(none)") << "a name that is a number";
    EXPECT_EQ(names::usage(1, 0x30), "(none)") << "a page without a name";
    EXPECT_EQ(names::usage(2, 0xBB), "(none)");
    EXPECT_EQ(names::usage(0x12345, 1), "Wide One");

    // The lookups behind the public ones leave the buffer alone when they find nothing.
    EXPECT_EQ(names::found([](char* name) { return hu_XMLSearchForVendorNameByVendorID(999, name); }),
              "(stale)");
    EXPECT_EQ(
        names::found([](char* name) { return hu_XMLSearchForProductNameByVendorProductID(100, 999, name); }),
        "(stale)");
    EXPECT_EQ(names::found([](char* name) { return hu_XMLSearchForElementNameByCookie(100, 200, 77, name); }),
              "(stale)");
    EXPECT_EQ(
        names::found([](char* name) { return hu_XMLSearchForElementNameByUsage(100, 200, 1, 50, name); }),
        "(stale)");
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
    EXPECT_EQ(names::vendor(107).size(), size_t(kHIDNameBufferSize - 1));
}
