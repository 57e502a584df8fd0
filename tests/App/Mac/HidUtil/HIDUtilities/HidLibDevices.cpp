#include "HidLibDevices.h"

#include "HidApi.h"

namespace hidlibtest
{

void HidLibTest::TearDown()
{
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
        CFRelease(gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
}

IOHIDDeviceRef HidLibTest::device(uint32_t busNumber, uint32_t port)
{
    const long location = long(busNumber) << 24 | long(port) << 20;
    for (IOHIDDeviceRef candidate = HIDGetFirstDevice(); candidate != nullptr;
         candidate = HIDGetNextDevice(candidate))
        if (IOHIDDevice_GetLocationID(candidate) == location)
            return candidate;
    return nullptr;
}

IOHIDElementRef HidLibTest::element(IOHIDDeviceRef device, UInt32 usagePage, UInt32 usage)
{
    for (IOHIDElementRef candidate = HIDGetFirstDeviceElement(device, kHIDElementTypeAll);
         candidate != nullptr; candidate = HIDGetNextDeviceElement(candidate, kHIDElementTypeAll))
        if (IOHIDElementGetUsagePage(candidate) == usagePage && IOHIDElementGetUsage(candidate) == usage)
            return candidate;
    return nullptr;
}

void HidLibTest::sendAndWait(int deviceNumber, const std::vector<uint8_t>& report, IOHIDElementRef element,
                             double value)
{
    ASSERT_TRUE(bed.writeInputReport(deviceNumber, report));
    ASSERT_TRUE(hidapi::runUntil(
        [&] { return IOHIDElement_GetValue(element, kIOHIDValueScaleTypePhysical) == value; }, false))
        << "the report never reached the element";
}

void StickTest::SetUp()
{
    stickNumber = add(stickAt(1, 2));
    buildList();
    stick = device(1, 2);
    x = element(stick, 1, 0x30);
    y = element(stick, 1, 0x31);
    tilt = element(stick, 0xFF00, 0x13);
    ASSERT_NE(tilt, nullptr);
}

} // namespace hidlibtest
