#include "HID_Utilities.h"

#include "HidLibDevices.h"
#include "IOHIDDevice_.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

std::vector<IOHIDElementRef> walk(IOHIDDeviceRef device, UInt32 typeMask)
{
    std::vector<IOHIDElementRef> found;
    for (IOHIDElementRef element = HIDGetFirstDeviceElement(device, typeMask); element != nullptr;
         element = HIDGetNextDeviceElement(element, typeMask))
        found.push_back(element);
    return found;
}

class HIDUtilitiesTest : public HidLibTest
{
};
} // namespace

TEST_F(HIDUtilitiesTest, TellsDevicesAndElementsApart)
{
    add(stickDescription());
    buildList();
    IOHIDDeviceRef stick = device(1, 2);
    IOHIDElementRef x = element(stick, 1, 0x30);
    EXPECT_TRUE(HIDIsValidDevice(stick));
    EXPECT_FALSE(HIDIsValidDevice(nullptr));
    EXPECT_FALSE(HIDIsValidDevice((IOHIDDeviceRef)x));
    EXPECT_TRUE(HIDIsValidElement(x));
    EXPECT_FALSE(HIDIsValidElement((IOHIDElementRef)stick));
    EXPECT_FALSE(HIDIsValidElement(nullptr));
}

TEST_F(HIDUtilitiesTest, CountsTheListedDevicesAndNothingWithoutAList)
{
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 0u);
    add(stickDescription());
    add(trvDescription());
    const UInt32 pages[] = {0xFF00};
    const UInt32 usages[] = {1};
    ASSERT_TRUE(HIDUpdateDeviceList(pages, usages, 1));
    EXPECT_EQ(HIDCountDevices(), 1u);
    ASSERT_TRUE(HIDUpdateDeviceList(nullptr, nullptr, 0));
    EXPECT_EQ(HIDCountDevices(), 2u);
}

TEST_F(HIDUtilitiesTest, MasksSelectElementsByType)
{
    add(stickDescription());
    buildList();
    IOHIDDeviceRef stick = device(1, 2);
    const UInt32 inputs = HIDCountDeviceElements(stick, kHIDElementTypeInput);
    const UInt32 outputs = HIDCountDeviceElements(stick, kHIDElementTypeOutput);
    const UInt32 features = HIDCountDeviceElements(stick, kHIDElementTypeFeature);
    const UInt32 collections = HIDCountDeviceElements(stick, kHIDElementTypeCollection);
    // X, Y, 4 buttons, the 4 key selectors of the array and the tilt at least.
    EXPECT_GE(inputs, 11u);
    EXPECT_GE(outputs, 2u);
    EXPECT_EQ(features, 1u);
    EXPECT_EQ(collections, 4u);
    EXPECT_EQ(HIDCountDeviceElements(stick, 30), inputs + outputs + features + collections);
    EXPECT_EQ(HIDCountDeviceElements(stick, 0), 0u);
    EXPECT_EQ(HIDCountDeviceElements(stick, 1 | 32 | 64), 0u);
    EXPECT_EQ(HIDGetFirstDeviceElement(stick, 0), nullptr);
    EXPECT_EQ(HIDCountDeviceElements(nullptr, 30), 0u);
    EXPECT_EQ(gElementCFArrayRef, nullptr);

    EXPECT_EQ(walk(stick, kHIDElementTypeFeature), std::vector{element(stick, 0xFF00, 0x11)});
    EXPECT_EQ(walk(stick, kHIDElementTypeCollection).size(), collections);
    EXPECT_EQ(walk(stick, 30).size(), inputs + outputs + features + collections);
}

TEST_F(HIDUtilitiesTest, WalksOnlyTheElementsThatPassTheMask)
{
    hidtest::DeviceSpec description = stickDescription();
    description.reportDescriptor = kTwoButtons;
    add(description);
    buildList();
    IOHIDDeviceRef pad = device(1, 2);
    IOHIDElementRef button1 = element(pad, 9, 1);
    IOHIDElementRef button2 = element(pad, 9, 2);
    ASSERT_NE(button1, nullptr);
    ASSERT_NE(button2, nullptr);

    EXPECT_EQ(HIDGetFirstDeviceElement(pad, kHIDElementTypeInput), button1);
    EXPECT_EQ(HIDGetNextDeviceElement(button1, kHIDElementTypeInput), button2);
    EXPECT_EQ(HIDGetNextDeviceElement(button2, kHIDElementTypeInput), nullptr);
    // From an element that does not pass, the walk goes on to the next one that does.
    IOHIDElementRef collection = HIDGetFirstDeviceElement(pad, kHIDElementTypeCollection);
    EXPECT_EQ(HIDGetNextDeviceElement(collection, kHIDElementTypeInput), button1);
    EXPECT_EQ(HIDGetNextDeviceElement(nullptr, kHIDElementTypeInput), nullptr);
    EXPECT_EQ(gElementCFArrayRef, nullptr);
}

TEST_F(HIDUtilitiesTest, DumpsADevice)
{
    hidtest::DeviceSpec description = trvDescription();
    description.releaseNumber = 0x0123;
    description.serialNumber = "S-1";
    add(description);
    buildList();
    IOHIDDeviceRef trv = device(1, 1);

    const std::string expected = format("Device: %p = { ", trv) +
                                 "Test Maker - TRV-Q8, \tvendorID:\t0x5A1E, \tproductID:\t0x001F, "
                                 "usage: 0xFF00:0x0001, \"Vendor-defined Usage 1\", Transport: \"USB\", "
                                 "version: 291, SerialNumber: \"S-1\", locationID: 0x01100000, "
                                 "MaxInputReportSize: 64, MaxOutputReportSize: 64, }\n";
    EXPECT_EQ(captured([&] { HIDDumpDeviceInfo(trv); }), expected);
}

TEST_F(HIDUtilitiesTest, DumpsADeviceWithoutAFullUsageByItsPrimaryUsage)
{
    add(trvDescription());
    buildList();
    IOHIDDeviceRef trv = device(1, 1);
    IOHIDDevice_SetLongProperty(trv, CFSTR("DeviceUsagePage"), 1);
    IOHIDDevice_SetLongProperty(trv, CFSTR("DeviceUsage"), 0);
    IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, trv, 4, kIOHIDOptionsTypeNone);
    IOHIDDevice_SetQueue(trv, queue);

    const std::string dump = captured([&] { HIDDumpDeviceInfo(trv); });
    EXPECT_NE(dump.find("usage: 0xFF00:0x0001, "), std::string::npos) << dump;
    EXPECT_NE(dump.find(format("queue: %p, }\n", queue)), std::string::npos) << dump;
    IOHIDDevice_SetQueue(trv, nullptr);
    CFRelease(queue);
}

TEST_F(HIDUtilitiesTest, DumpsElements)
{
    add(stickDescription());
    buildList();
    IOHIDDeviceRef stick = device(1, 2);
    IOHIDElementRef x = element(stick, 1, 0x30);
    IOHIDElementRef physical = IOHIDElementGetParent(x);
    IOHIDElementRef tilt = element(stick, 0xFF00, 0x13);
    IOHIDElementRef oddCollection = IOHIDElementGetParent(tilt);
    IOHIDElementRef application = IOHIDElementGetParent(physical);

    EXPECT_EQ(captured([&] { HIDDumpElementInfo(x); }),
              format("    Element: %p = { parent: %p, ", x, physical) +
                  "cookie: " + std::to_string(IOHIDElementGetCookie(x)) +
                  ", type: Axis, usage: 0x0001:0x0030, \"Generic Desktop X\", report: { ID: 0, Size: 16, "
                  "Count: 1 }, "
                  "logical: {min: 0, max: 1023}, physical: {min: 0, max: 1023}, hasPreferredState,  }\n");
    EXPECT_EQ(captured([&] { HIDDumpElementInfo(physical); }),
              format("    Element: %p = { parent: %p, ", physical, application) +
                  "cookie: " + std::to_string(IOHIDElementGetCookie(physical)) +
                  ", type: Physical Collection, usage: 0x0001:0x0001, \"Generic Desktop Pointer\", "
                  "report: { ID: 0, Size: 0, Count: 0 },  }\n");
    const std::string tiltDump = captured([&] { HIDDumpElementInfo(tilt); });
    EXPECT_NE(tiltDump.find("usage: 0xFF00:0x0013, report: { ID: 0, Size: 8, Count: 1 }, unit: 17 * 10^14, "
                            "logical: {min: -10, max: 10}, physical: {min: -37, max: 37}, "),
              std::string::npos)
        << tiltDump;
    EXPECT_NE(captured([&] { HIDDumpElementInfo(oddCollection); }).find("type: 0x7 Collection, "),
              std::string::npos);
    EXPECT_EQ(captured([] { HIDDumpElementInfo(nullptr); }), "");
}

TEST_F(HIDUtilitiesTest, DumpingACalibrationStoresItsDerivedValues)
{
    add(stickDescription());
    buildList();
    IOHIDElementRef y = element(device(1, 2), 1, 0x31);
    const std::string expected = format("    Element: %p = { ", y) +
                                 "cal: {min: 255, max: 0}, sat: {min: 0, max: 0}, dead: {min: 0, max: 0}, "
                                 "granularity:   0.00 }\n";
    EXPECT_EQ(captured([&] { HIDDumpElementCalibrationInfo(y); }), expected);
    EXPECT_EQ(captured([&] { HIDDumpElementCalibrationInfo(y); }), expected);
    long stored = 0;
    EXPECT_TRUE(IOHIDElement_GetLongProperty(y, CFSTR("CalibrationMin"), &stored));
    EXPECT_EQ(stored, 255);
}
