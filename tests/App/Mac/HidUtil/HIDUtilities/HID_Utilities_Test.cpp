#include "HID_Utilities.h"

#include "HidLibDevices.h"
#include "IOHIDDevice_.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

using namespace hidlibtest;

namespace
{
std::string format(const char* pattern, const void* pointer, const void* other = nullptr)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, pointer, other);
    return text;
}

template <typename Dump> std::string captured(Dump dump)
{
    testing::internal::CaptureStdout();
    dump();
    return testing::internal::GetCapturedStdout();
}

std::vector<IOHIDDeviceRef> listed()
{
    std::vector<IOHIDDeviceRef> devices;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        devices.push_back(device);
    return devices;
}

std::vector<long> productsListed()
{
    std::vector<long> products;
    for (IOHIDDeviceRef device : listed())
        products.push_back(IOHIDDevice_GetProductID(device));
    return products;
}

using HIDDeviceListTest = HidLibTest;
using HIDUtilitiesTest = StickTest;
} // namespace

TEST_F(HIDDeviceListTest, ListsDevicesInUnsignedOrderOfLocationFromOneManagerThatSaysNothing)
{
    for (uint16_t product : {3, 1, 2})
        add({.productId = product, .ports = {product}});
    testing::internal::CaptureStderr();
    buildList();
    IOHIDManagerRef manager = gIOHIDManagerRef;
    buildList();
    EXPECT_EQ(gIOHIDManagerRef, manager);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(productsListed(), (std::vector<long>{1, 2, 3}));

    // A missing location sorts first.
    const std::vector<IOHIDDeviceRef> devices = listed();
    IOHIDDevice_SetLongProperty(devices[0], CFSTR("LocationID"), 0x80000000L);
    IOHIDDevice_SetLongProperty(devices[1], CFSTR("LocationID"), 0x00100000L);
    IOHIDDeviceSetProperty(devices[2], CFSTR("LocationID"), nullptr);
    HIDRebuildDevices();
    EXPECT_EQ(productsListed(), (std::vector<long>{3, 2, 1}));
}

TEST_F(HIDDeviceListTest, ListsTheDevicesOfTheGivenUsages)
{
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 0u);
    add({.productId = 1, .ports = {1}, .reportDescriptor = hidtest::kBootKeyboard});
    add({.productId = 2, .ports = {2}, .reportDescriptor = hidtest::kBootMouse});
    add({.productId = 3, .ports = {3}});
    // A usage of 0 matches any usage of the page; a page of 0 matches every device.
    const std::tuple<std::vector<UInt32>, std::vector<UInt32>, std::vector<long>> cases[] = {
        {{1}, {6}, {1}},          {{1}, {0}, {1, 2}},   {{0}, {6}, {1, 2, 3}},
        {{1, 1}, {6, 2}, {1, 2}}, {{0xFF00}, {1}, {3}}, {{}, {}, {1, 2, 3}}};
    for (const auto& [pages, usages, products] : cases)
    {
        ASSERT_TRUE(HIDUpdateDeviceList(pages.data(), usages.data(), int(pages.size())));
        EXPECT_EQ(productsListed(), products);
        EXPECT_EQ(HIDCountDevices(), products.size());
    }
}

TEST_F(HIDDeviceListTest, WalksOnFromWhereTheGivenDeviceStandsAndEndsOutsideTheList)
{
    gDeviceIndex = 5;
    EXPECT_EQ(HIDGetFirstDevice(), nullptr) << "no list";
    EXPECT_EQ(gDeviceIndex, 0);
    add(trvAt(1, 1));
    add(trvAt(1, 2));
    add(stickAt(1, 3));
    buildList();
    const std::vector<IOHIDDeviceRef> devices = listed();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(HIDGetFirstDevice(), devices[0]);
    EXPECT_EQ(HIDGetNextDevice(devices[1]), devices[2]);
    EXPECT_EQ(gDeviceIndex, 2);
    EXPECT_EQ(HIDGetNextDevice(devices[2]), nullptr);
    EXPECT_EQ(gDeviceIndex, 3);
    EXPECT_EQ(HIDGetNextDevice(nullptr), nullptr);

    // Only the stick is listed now: the walk ends at the other device until it restarts.
    CFRetain(devices[0]);
    const UInt32 joystick[] = {1, 4};
    ASSERT_TRUE(HIDUpdateDeviceList(&joystick[0], &joystick[1], 1));
    EXPECT_EQ(HIDGetFirstDevice(), devices[2]);
    EXPECT_EQ(HIDGetNextDevice(devices[0]), nullptr);
    EXPECT_EQ(gDeviceIndex, -1);
    EXPECT_EQ(HIDGetNextDevice(devices[2]), nullptr);
    CFRelease(devices[0]);
    HIDReleaseDeviceList();
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
}

TEST_F(HIDUtilitiesTest, TellsDevicesAndElementsApartAndMasksSelectAndWalkElementsByType)
{
    EXPECT_TRUE(HIDIsValidDevice(stick));
    EXPECT_FALSE(HIDIsValidDevice(nullptr));
    EXPECT_FALSE(HIDIsValidDevice((IOHIDDeviceRef)x));
    EXPECT_TRUE(HIDIsValidElement(x));
    EXPECT_FALSE(HIDIsValidElement((IOHIDElementRef)stick));
    EXPECT_FALSE(HIDIsValidElement(nullptr));
    // X, Y, 4 buttons, 4 key selectors and the tilt; 2 LEDs; 1 feature; 4 collections.
    EXPECT_EQ(HIDCountDeviceElements(stick, kHIDElementTypeInput), 11u);
    EXPECT_EQ(HIDCountDeviceElements(stick, kHIDElementTypeOutput), 2u);
    EXPECT_EQ(HIDCountDeviceElements(stick, kHIDElementTypeFeature), 1u);
    EXPECT_EQ(HIDCountDeviceElements(stick, kHIDElementTypeCollection), 4u);
    EXPECT_EQ(HIDCountDeviceElements(stick, kHIDElementTypeAll), 18u);
    EXPECT_EQ(HIDCountDeviceElements(stick, 1 | 32 | 64), 0u);
    EXPECT_EQ(HIDCountDeviceElements(nullptr, kHIDElementTypeAll), 0u);
    EXPECT_EQ(HIDGetFirstDeviceElement(stick, 0), nullptr);

    IOHIDElementRef feature = HIDGetFirstDeviceElement(stick, kHIDElementTypeFeature);
    EXPECT_EQ(feature, element(stick, 0xFF00, 0x11));
    EXPECT_EQ(HIDGetNextDeviceElement(feature, kHIDElementTypeFeature), nullptr);
    EXPECT_EQ(HIDGetFirstDeviceElement(stick, kHIDElementTypeInput), x);
    EXPECT_EQ(HIDGetNextDeviceElement(x, kHIDElementTypeInput), y);
    EXPECT_EQ(HIDGetNextDeviceElement(tilt, kHIDElementTypeInput), nullptr);
    // From an element that does not pass, the walk goes on to the next one that does.
    EXPECT_EQ(HIDGetNextDeviceElement(IOHIDElementGetParent(x), kHIDElementTypeInput), x);
    EXPECT_EQ(HIDGetNextDeviceElement(nullptr, kHIDElementTypeInput), nullptr);
    EXPECT_EQ(gElementCFArrayRef, nullptr);
}

TEST_F(HIDUtilitiesTest, DumpsADeviceByItsPrimaryUsageWhenItsUsageIsIncomplete)
{
    const std::string expected =
        format("Device: %p = { ", stick) +
        "Test Maker - Stick, \tvendorID:\t0x1234, \tproductID:\t0x5678, "
        "usage: 0x0001:0x0004, \"Generic Desktop Joystick\", Transport: \"USB\", "
        "version: 256, SerialNumber: \"S-1\", locationID: 0x01200000, "
        "MaxInputReportSize: 7, MaxOutputReportSize: 1, MaxFeatureReportSize: 1, }\n";
    EXPECT_EQ(captured([&] { HIDDumpDeviceInfo(stick); }), expected);

    IOHIDDevice_SetLongProperty(stick, CFSTR("DeviceUsagePage"), 0x0C);
    IOHIDDevice_SetLongProperty(stick, CFSTR("DeviceUsage"), 0);
    IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, stick, 4, kIOHIDOptionsTypeNone);
    IOHIDDevice_SetQueue(stick, queue);
    const std::string dump = captured([&] { HIDDumpDeviceInfo(stick); });
    EXPECT_NE(dump.find("usage: 0x0001:0x0004, "), std::string::npos) << dump;
    EXPECT_NE(dump.find(format("queue: %p, }\n", queue)), std::string::npos) << dump;
    IOHIDDevice_SetQueue(stick, nullptr);
    CFRelease(queue);
}

TEST_F(HIDUtilitiesTest, DumpsElements)
{
    IOHIDElementRef physical = IOHIDElementGetParent(x);
    EXPECT_EQ(captured([&] { HIDDumpElementInfo(x); }),
              format("    Element: %p = { parent: %p, ", x, physical) +
                  "cookie: " + std::to_string(IOHIDElementGetCookie(x)) +
                  ", type: Axis, usage: 0x0001:0x0030, \"Generic Desktop X\", report: { ID: 0, Size: 16, "
                  "Count: 1 }, "
                  "logical: {min: 0, max: 1023}, physical: {min: 0, max: 1023}, hasPreferredState,  }\n");
    EXPECT_NE(captured([&] { HIDDumpElementInfo(physical); })
                  .find(", type: Physical Collection, usage: 0x0001:0x0001, \"Generic Desktop Pointer\", "
                        "report: { ID: 0, Size: 0, Count: 0 },  }\n"),
              std::string::npos);
    const std::string tiltDump = captured([&] { HIDDumpElementInfo(tilt); });
    EXPECT_NE(tiltDump.find("usage: 0xFF00:0x0013, report: { ID: 0, Size: 8, Count: 1 }, unit: 17 * 10^14, "
                            "logical: {min: -10, max: 10}, physical: {min: -37, max: 37}, "),
              std::string::npos)
        << tiltDump;
    // The exponent the dump shows is published as well.
    long exponent = 0;
    EXPECT_TRUE(IOHIDElement_GetLongProperty(tilt, CFSTR("UnitExponent"), &exponent));
    EXPECT_EQ(exponent, 14);
    EXPECT_NE(
        captured([&] { HIDDumpElementInfo(IOHIDElementGetParent(tilt)); }).find("type: 0x7 Collection, "),
        std::string::npos);
    EXPECT_EQ(captured([] { HIDDumpElementInfo(nullptr); }), "");
}

TEST_F(HIDUtilitiesTest, DumpingACalibrationStoresItsDerivedValues)
{
    const std::string expected = format("    Element: %p = { ", y) +
                                 "cal: {min: 255, max: 0}, sat: {min: 0, max: 0}, dead: {min: 0, max: 0}, "
                                 "granularity:   0.00 }\n";
    EXPECT_EQ(captured([&] { HIDDumpElementCalibrationInfo(y); }), expected);
    EXPECT_EQ(captured([&] { HIDDumpElementCalibrationInfo(y); }), expected);
    long stored = 0;
    EXPECT_TRUE(IOHIDElement_GetLongProperty(y, CFSTR("CalibrationMin"), &stored));
    EXPECT_EQ(stored, 255);
}
