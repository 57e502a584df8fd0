// Name lookups against the lists shipped in the program's resources.
#include "NameLookups.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

TEST(HIDNameLookup, NamesDevicesAndElementsFromTheProgramsOwnListsFirst)
{
    // The program's own resources come before the library's bundle.
    ASSERT_NE(CFBundleRegisterWithIdentifier(kHIDUtilitiesBundleIdentifier, HID_TEST_RESOURCES "/Decoy"),
              nullptr);
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 0x5A1E), "QLN");
    EXPECT_EQ(names::of(HIDGetProductNameFromVendorProductID, 0x5A1E, 0x001F), "QLN TRV-Q8");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductCookie, 0x5A1E, 0x001F, 2), "Reply");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 0x5A1E, 0x001F, 0xFF00, 3), "Command");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 0x5A1E, 0x001F, 0xFF00, 9), "(none)");
    EXPECT_EQ(names::of(HIDGetProductNameFromVendorProductID, 0x5A1E, 0x0020), "(none)");
    EXPECT_EQ(names::of(HIDGetVendorNameFromVendorID, 0x0001), "(none)");
    EXPECT_EQ(names::of(HIDGetProductNameFromVendorProductID, 0x046D, 0xC21D), "Logitech Gamepad F310");
    EXPECT_EQ(names::of(HIDGetElementNameFromVendorProductUsage, 0x054C, 0x05C4, 9, 2), "Cross");
}

TEST(HIDNameLookup, NamesUsagesOfThePublicPagesAndTheElementTypes)
{
    // Pages and usages are keyed as "0x" and four or more upper-case hexadecimal digits.
    EXPECT_EQ(names::usage(0x01, 0x30), "Generic Desktop X");
    EXPECT_EQ(names::usage(0x0C, 0x224), "Consumer AC Back");
    EXPECT_EQ(names::usage(0x09, 0xFF), "Button 255");
    EXPECT_EQ(names::usage(0xFF00, 0x01), "Vendor-defined Usage 1");
    EXPECT_EQ(names::usage(0xFFFF, 0x02), "Vendor-defined Usage 2");
    EXPECT_EQ(names::usage(0x01, 0x2F), "(none)");
    EXPECT_EQ(names::usage(0x03, 0x01), "(none)");

    const std::pair<UInt32, const char*> types[] = {
        {1, "Miscellaneous Input"}, {2, "Button Input"}, {3, "Axis Input"},
        {4, "Scan Code Input"},     {129, "Output"},     {257, "Feature"},
        {513, "Collection"},        {5, "Unknown Type"}, {128, "Unknown Type"}};
    for (const auto& [type, name] : types)
    {
        char text[20];
        HIDGetTypeName(IOHIDElementType(type), text);
        EXPECT_STREQ(text, name) << type;
    }
}
