#include "HidApi.h"
#include "HidTestbed.h"

#include <IOKit/IOKitLib.h>
#include <gtest/gtest.h>

using namespace hidapi;

TEST(IOKitRegistry, FindsTheHidServiceAtALocation)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0001, .busNumber = 1, .ports = {1}});
    bed.addDevice({.productId = 0x0002, .busNumber = 1, .ports = {4, 2}});

    CFMutableDictionaryRef matching = IOServiceMatching("IOHIDDevice");
    ASSERT_NE(matching, nullptr);
    const int32_t location = 0x01420000;
    const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &location));
    CFDictionaryAddValue(matching, CFSTR(kIOHIDLocationIDKey), number.get());
    const io_service_t service = IOServiceGetMatchingService(kIOMasterPortDefault, matching);
    ASSERT_NE(service, IO_OBJECT_NULL);

    const cf::Owned<IOHIDDeviceRef> device(IOHIDDeviceCreate(kCFAllocatorDefault, service));
    ASSERT_TRUE(device);
    EXPECT_EQ(numberProperty(device.get(), CFSTR(kIOHIDProductIDKey)), 0x0002);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnSuccess);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceCreate(kCFAllocatorDefault, service), nullptr);
}

TEST(IOKitRegistry, FindsNothingForAnotherLocationOrClass)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.ports = {1}});

    CFMutableDictionaryRef elsewhere = IOServiceMatching("IOHIDDevice");
    const int32_t location = 0x01900000;
    const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &location));
    CFDictionaryAddValue(elsewhere, CFSTR(kIOHIDLocationIDKey), number.get());
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, elsewhere), IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOUSBDevice")),
              IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, nullptr), IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceMatching(nullptr), nullptr);
    EXPECT_EQ(IOObjectRelease(IO_OBJECT_NULL), kIOReturnBadArgument);
}
