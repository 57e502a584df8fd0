#include "HidApi.h"
#include "HidTestbed.h"

#include <IOKit/IOKitLib.h>
#include <gtest/gtest.h>

using namespace hidapi;

TEST(IOKitRegistry, FindsTheHidServiceAtALocationAndNothingElsewhere)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0001, .busNumber = 1, .ports = {1}});
    bed.addDevice({.productId = 0x0002, .busNumber = 1, .ports = {4, 2}});
    const auto serviceAt = [](int32_t location)
    {
        CFMutableDictionaryRef matching = IOServiceMatching("IOHIDDevice");
        const cf::Owned<CFNumberRef> number(
            CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &location));
        CFDictionaryAddValue(matching, CFSTR(kIOHIDLocationIDKey), number.get());
        return IOServiceGetMatchingService(kIOMasterPortDefault, matching);
    };
    EXPECT_EQ(serviceAt(0x01900000), IO_OBJECT_NULL);
    const io_service_t service = serviceAt(0x01420000);
    ASSERT_NE(service, IO_OBJECT_NULL);
    const cf::Owned<IOHIDDeviceRef> device(IOHIDDeviceCreate(kCFAllocatorDefault, service));
    EXPECT_EQ(numberOf(IOHIDDeviceGetProperty(device.get(), CFSTR(kIOHIDProductIDKey))), 0x0002);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnSuccess);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceCreate(kCFAllocatorDefault, service), nullptr);

    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOUSBDevice")),
              IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, nullptr), IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceMatching(nullptr), nullptr);
    EXPECT_EQ(IOObjectRelease(IO_OBJECT_NULL), kIOReturnBadArgument);
}
