#include "IOHIDDevice_.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

using namespace hidlibtest;

namespace
{
class IOHIDDeviceTest : public HidLibTest
{
};
} // namespace

TEST_F(IOHIDDeviceTest, ReadsTheDevicesPropertiesWithZeroForMissingNumbers)
{
    hidtest::DeviceSpec description = stickDescription();
    description.serialNumber = "SN42";
    add(description);
    buildList();
    IOHIDDeviceRef stick = device(1, 2);

    EXPECT_EQ(IOHIDDevice_GetPrimaryUsagePage(stick), 1u);
    EXPECT_EQ(IOHIDDevice_GetPrimaryUsage(stick), 4u);
    EXPECT_EQ(IOHIDDevice_GetMaxInputReportSize(stick), 7);
    EXPECT_EQ(IOHIDDevice_GetMaxOutputReportSize(stick), 1);
    EXPECT_EQ(IOHIDDevice_GetMaxFeatureReportSize(stick), 1);
    EXPECT_EQ(text(IOHIDDevice_GetManufacturer(stick)), "Test Maker");
    EXPECT_EQ(text(IOHIDDevice_GetProduct(stick)), "Stick");
    EXPECT_EQ(text(IOHIDDevice_GetSerialNumber(stick)), "SN42");
    EXPECT_EQ(text(IOHIDDevice_GetTransport(stick)), "USB");
    ASSERT_NE(IOHIDDevice_GetUsagePairs(stick), nullptr);
    EXPECT_EQ(CFArrayGetCount(IOHIDDevice_GetUsagePairs(stick)), 1);

    EXPECT_EQ(IOHIDDevice_GetCountryCode(stick), 0);
    EXPECT_EQ(IOHIDDevice_GetVendorIDSource(stick), 0);
    EXPECT_EQ(IOHIDDevice_GetPrimaryUsagePage(nullptr), 0u);
    EXPECT_EQ(IOHIDDevice_GetReportInterval(nullptr), 0);
}

TEST_F(IOHIDDeviceTest, StoresTheLow32BitsOfANumber)
{
    add(stickDescription());
    buildList();
    IOHIDDeviceRef stick = device(1, 2);
    IOHIDDevice_SetLongProperty(stick, CFSTR("CountryCode"), 0x7700000021L);
    EXPECT_EQ(IOHIDDevice_GetCountryCode(stick), 0x21);
    IOHIDDevice_SetLongProperty(stick, CFSTR("ReportInterval"), -1);
    EXPECT_EQ(IOHIDDevice_GetReportInterval(stick), 0xFFFFFFFFL);
}

TEST_F(IOHIDDeviceTest, KeepsTheVeryQueueAndTransactionReferences)
{
    add(stickDescription());
    buildList();
    IOHIDDeviceRef stick = device(1, 2);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
    EXPECT_EQ(IOHIDDevice_GetTransaction(stick), nullptr);
    EXPECT_EQ(IOHIDDevice_GetQueue(nullptr), nullptr);

    IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, stick, 8, kIOHIDOptionsTypeNone);
    const CFIndex retained = CFGetRetainCount(queue);
    IOHIDDevice_SetQueue(stick, queue);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), queue);
    EXPECT_EQ(CFGetRetainCount(queue), retained);
    IOHIDDevice_SetQueue(stick, nullptr);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
    CFRelease(queue);

    // A reference at the full width of a pointer, never dereferenced.
    const auto transaction = reinterpret_cast<IOHIDTransactionRef>(uintptr_t(0xFFFF80001234ABC8ULL));
    IOHIDDevice_SetTransaction(stick, transaction);
    EXPECT_EQ(IOHIDDevice_GetTransaction(stick), transaction);
}
