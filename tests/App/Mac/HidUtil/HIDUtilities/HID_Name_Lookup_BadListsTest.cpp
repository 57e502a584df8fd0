// Name lookups against lists whose root is no dictionary, found in a bundle that is neither the
// program's nor the library's.
#include "FreshProcess.h"
#include "NameLookups.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

TEST(HIDNameLookupBadLists, ListsWhoseRootIsNoDictionaryFailEveryLookupAndAreNotLoadedAgain)
{
    // The lists are loaded once per process, and the bundles stay registered.
    if (testsupport::handedToAFreshProcess())
        return;
    ASSERT_NE(
        CFBundleRegisterWithIdentifier(CFSTR("org.trv-q8.tests.badroots"), HID_TEST_RESOURCES "/BadRoots"),
        nullptr);
    EXPECT_EQ(hu_XMLLoad(CFSTR("Malformed"), CFSTR("plist")), nullptr);
    EXPECT_EQ(hu_XMLLoad(CFSTR("Missing"), CFSTR("plist")), nullptr);
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 100), "(none)");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 100, 200, 5), "(none)");
    EXPECT_EQ(names::usage(2, 0xBA), "(none)");

    // A later bundle with good lists: the absent usage list is searched for again and found there,
    // while the two lists already loaded stay as they were.
    ASSERT_NE(CFBundleRegisterWithIdentifier(CFSTR("org.trv-q8.tests.faults"), HID_TEST_RESOURCES "/Faults"),
              nullptr);
    EXPECT_EQ(names::usage(2, 0xBA), "Sim Rudder");
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 101), "(none)");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 100, 200, 5), "(none)");
}
