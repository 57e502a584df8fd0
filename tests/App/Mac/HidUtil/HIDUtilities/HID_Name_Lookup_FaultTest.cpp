// Name lookups against lists with missing names, odd values and long names. The lists are
// registered as the library's own bundle; this program has no resources of its own.
#include "FreshProcess.h"
#include "NameLookups.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

// In a process of its own, where no test has registered the lists yet: they are absent until the
// bundle is registered, and each lookup searches again.
TEST(HIDNameLookupFaults, FailsWhileTheListsAreAbsentAndFindsThemOnceRegistered)
{
    if (testsupport::handedToAFreshProcess())
        return;
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 100, 200, 1, 48), "(none)");
    EXPECT_EQ(names::usage(2, 0xBA), "(none)");
    EXPECT_EQ(hu_XMLLoad(CFSTR("HID_cookie_strings"), CFSTR("plist")), nullptr);
    registerFaultLists();
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 100, 200, 1, 48), "Tilt");
    EXPECT_EQ(names::usage(2, 0xBA), "Sim Rudder");
}

TEST(HIDNameLookupFaults, AnOddEntryFailsOnlyItsOwnLookup)
{
    registerFaultLists();
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 100), "(none)") << "a vendor without a name";
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 100, 200, 5), "Fifth");
    // A missing vendor or product name is rendered by the formatter; the other name still shows.
    EXPECT_THAT(names::of(HIDGetProductNameFromVendorProductID, 100, 200), EndsWith(" Widget"));
    EXPECT_THAT(names::of(HIDGetProductNameFromVendorProductID, 101, 201), StartsWith("Acme "));
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 101, 201, 1, 49), "7")
        << "a name that is no string is written as its text";
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 100, 200, 0x80000000u), "Top Cookie")
        << "keyed as a negative number";
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 100, 200, 6), "(none)");
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 104), "(none)") << "a vendor that is no dictionary";
    EXPECT_EQ(names::of(HIDGetProductNameFromVendorProductID, 104, 1), "(none)");
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 105), "(none)") << "a name that is a number";
    EXPECT_EQ(names::usage(1, 0x30), "(none)") << "a page without a name";
    EXPECT_EQ(names::usage(2, 0xBB), "(none)");
    EXPECT_EQ(names::usage(0x12345, 1), "Wide One");

    // The lookups behind the public ones leave the buffer alone when they find nothing.
    EXPECT_EQ(names::of(hu_XMLSearchForVendorNameByVendorID, 999), "(stale)");
    EXPECT_EQ(names::of(hu_XMLSearchForProductNameByVendorProductID, 100, 999), "(stale)");
    EXPECT_EQ(names::of(hu_XMLSearchForElementNameByCookie, 100, 200, 77), "(stale)");
    EXPECT_EQ(names::of(hu_XMLSearchForElementNameByUsage, 100, 200, 1, 50), "(stale)");
}

TEST(HIDNameLookupFaults, ANameThatDoesNotFitIsNotWrittenAndNothingPassesTheBound)
{
    registerFaultLists();
    // The look-up fails, empties the buffer and writes nothing from the bound on.
    const auto refused = [](size_t bound, auto lookup, auto... keys)
    {
        char name[2 * kHIDNameBufferSize];
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(lookup(keys..., name), 0);
        EXPECT_EQ(name[0], '\0');
        EXPECT_EQ(std::string(name + bound, sizeof name - bound), std::string(sizeof name - bound, 'x'));
    };
    // Ten three-byte characters need 31 bytes; twice their length plus one is 21.
    refused(21, HIDGetVendorNameFromVendorID, 103);
    refused(41, HIDGetProductNameFromVendorProductID, 103, 203);
    // 300 ASCII characters fit twice their length, but not the name buffer.
    refused(kHIDNameBufferSize, HIDGetVendorNameFromVendorID, 106);
    refused(kHIDNameBufferSize, HIDGetProductNameFromVendorProductID, 106, 206);
    refused(kHIDNameBufferSize, HIDGetElementNameFromVendorProductCookie, 106, 206, 7);
    // 255 bytes of vendor name and a space: one byte too many with the terminator.
    refused(kHIDNameBufferSize, HIDGetProductNameFromVendorProductID, 107, 207);
    // The longest name that fits: 255 bytes and the terminator.
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 107).size(), size_t(kHIDNameBufferSize - 1));
}
