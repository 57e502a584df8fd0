// Name lookups against the lists shipped in the program's resources.
#include "HID_Name_Lookup.h"

#include <CoreFoundation/CFBundleLinux.h>

#include <gtest/gtest.h>

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

std::string typeName(UInt32 type)
{
    char text[20];
    HIDGetTypeName(IOHIDElementType(type), text);
    return text;
}
} // namespace

TEST(HIDNameLookup, NamesTheTrvQ8AndItsElements)
{
    // The program's own resources come before the library's bundle.
    ASSERT_NE(CFBundleRegisterWithIdentifier(kHIDUtilitiesBundleIdentifier, HID_TEST_RESOURCES "/Decoy"),
              nullptr);
    char name[256];
    EXPECT_EQ(HIDGetVendorNameFromVendorID(0x5A1E, name), 1);
    EXPECT_STREQ(name, "QLN");
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(0x5A1E, 0x001F, name), 1);
    EXPECT_STREQ(name, "QLN TRV-Q8");
    EXPECT_EQ(HIDGetElementNameFromVendorProductCookie(0x5A1E, 0x001F, 2, name), 1);
    EXPECT_STREQ(name, "Reply");
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(0x5A1E, 0x001F, 0xFF00, 3, name), 1);
    EXPECT_STREQ(name, "Command");
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(0x5A1E, 0x001F, 0xFF00, 9, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(0x5A1E, 0x0020, name), 0);
    EXPECT_EQ(HIDGetVendorNameFromVendorID(0x0001, name), 0);
}

TEST(HIDNameLookup, NamesOtherListedDevices)
{
    char name[256];
    EXPECT_EQ(HIDGetProductNameFromVendorProductID(0x046D, 0xC21D, name), 1);
    EXPECT_STREQ(name, "Logitech Gamepad F310");
    EXPECT_EQ(HIDGetElementNameFromVendorProductUsage(0x054C, 0x05C4, 9, 2, name), 1);
    EXPECT_STREQ(name, "Cross");
}

TEST(HIDNameLookup, NamesUsagesOfThePublicPages)
{
    EXPECT_EQ(usageName(0x01, 0x30), "Generic Desktop X");
    EXPECT_EQ(usageName(0x01, 0x05), "Generic Desktop Game Pad");
    EXPECT_EQ(usageName(0x02, 0xBB), "Simulation Throttle");
    EXPECT_EQ(usageName(0x07, 0x04), "Keyboard/Keypad Keyboard a and A");
    EXPECT_EQ(usageName(0x07, 0xE1), "Keyboard/Keypad Keyboard LeftShift");
    EXPECT_EQ(usageName(0x08, 0x02), "LED Caps Lock");
    EXPECT_EQ(usageName(0x09, 0x01), "Button 1");
    EXPECT_EQ(usageName(0x09, 0xFF), "Button 255");
    EXPECT_EQ(usageName(0x0C, 0xCD), "Consumer Play/Pause");
    EXPECT_EQ(usageName(0x0C, 0x224), "Consumer AC Back");
    EXPECT_EQ(usageName(0x0D, 0x42), "Digitizer Tip Switch");
    EXPECT_EQ(usageName(0xFF00, 0x01), "Vendor-defined Usage 1");
    EXPECT_EQ(usageName(0xFFFF, 0x02), "Vendor-defined Usage 2");
    EXPECT_EQ(usageName(0x01, 0x2F), "(none)");
    EXPECT_EQ(usageName(0x03, 0x01), "(none)");
}

TEST(HIDNameLookup, NamesTheElementTypes)
{
    EXPECT_EQ(typeName(1), "Miscellaneous Input");
    EXPECT_EQ(typeName(2), "Button Input");
    EXPECT_EQ(typeName(3), "Axis Input");
    EXPECT_EQ(typeName(4), "Scan Code Input");
    EXPECT_EQ(typeName(129), "Output");
    EXPECT_EQ(typeName(257), "Feature");
    EXPECT_EQ(typeName(513), "Collection");
    EXPECT_EQ(typeName(0), "Unknown Type");
    EXPECT_EQ(typeName(5), "Unknown Type");
    EXPECT_EQ(typeName(128), "Unknown Type");
}
