// Name lookups against lists whose root is no dictionary, found in a bundle that is neither the
// program's nor the library's.
#include "HID_Name_Lookup.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

TEST(HIDNameLookupBadLists, ListsWhoseRootIsNoDictionaryFailEveryLookupAndAreNotLoadedAgain)
{
    ASSERT_NE(
        CFBundleRegisterWithIdentifier(CFSTR("org.trv-q8.tests.badroots"), HID_TEST_RESOURCES "/BadRoots"),
        nullptr);
    char name[64];
    EXPECT_EQ(HIDGetVendorNameFromVendorID(100, name), 0);
    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(100, 200, 5, name), 0);
    EXPECT_EQ(HIDCopyUsageName(2, 0xBA), nullptr);

    // A later bundle with good lists: the absent usage list is searched for again and found there,
    // while the two lists already loaded stay as they were.
    ASSERT_NE(CFBundleRegisterWithIdentifier(CFSTR("org.trv-q8.tests.faults"), HID_TEST_RESOURCES "/Faults"),
              nullptr);
    CFStringRef usage = HIDCopyUsageName(2, 0xBA);
    ASSERT_NE(usage, nullptr);
    CFRelease(usage);
    EXPECT_EQ(HIDGetVendorNameFromVendorID(101, name), 0);
    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(100, 200, 5, name), 0);
}

TEST(HIDNameLookupBadLists, AListThatCannotBeParsedLoadsAsNothing)
{
    ASSERT_NE(
        CFBundleRegisterWithIdentifier(CFSTR("org.trv-q8.tests.badroots"), HID_TEST_RESOURCES "/BadRoots"),
        nullptr);
    EXPECT_EQ(hu_XMLLoad(CFSTR("Malformed"), CFSTR("plist")), nullptr);
    EXPECT_EQ(hu_XMLLoad(CFSTR("Missing"), CFSTR("plist")), nullptr);
}
