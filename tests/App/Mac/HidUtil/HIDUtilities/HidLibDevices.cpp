#include "HidLibDevices.h"

#include <chrono>
#include <thread>

namespace hidlibtest
{

void HidLibTest::TearDown()
{
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
        CFRelease(gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
}

void HidLibTest::buildList()
{
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    ASSERT_TRUE(HIDHaveDeviceList());
}

IOHIDDeviceRef HidLibTest::device(uint32_t busNumber, uint32_t port) const
{
    for (IOHIDDeviceRef candidate = HIDGetFirstDevice(); candidate != nullptr;
         candidate = HIDGetNextDevice(candidate))
        if (IOHIDDevice_GetLocationID(candidate) == locationOf(busNumber, port))
            return candidate;
    return nullptr;
}

IOHIDElementRef HidLibTest::element(IOHIDDeviceRef device, UInt32 usagePage, UInt32 usage, UInt32 type)
{
    CFArrayRef elements = IOHIDDeviceCopyMatchingElements(device, nullptr, kIOHIDOptionsTypeNone);
    IOHIDElementRef found = nullptr;
    for (CFIndex i = 0; elements != nullptr && i < CFArrayGetCount(elements) && found == nullptr; ++i)
    {
        auto candidate = (IOHIDElementRef)CFArrayGetValueAtIndex(elements, i);
        if (IOHIDElementGetUsagePage(candidate) == usagePage && IOHIDElementGetUsage(candidate) == usage &&
            (type == 0 || UInt32(IOHIDElementGetType(candidate)) == type))
            found = candidate;
    }
    if (elements != nullptr)
        CFRelease(elements);
    return found;
}

std::vector<IOHIDElementRef> HidLibTest::elementsOfType(IOHIDDeviceRef device, UInt32 type)
{
    std::vector<IOHIDElementRef> found;
    CFArrayRef elements = IOHIDDeviceCopyMatchingElements(device, nullptr, kIOHIDOptionsTypeNone);
    for (CFIndex i = 0; elements != nullptr && i < CFArrayGetCount(elements); ++i)
    {
        auto candidate = (IOHIDElementRef)CFArrayGetValueAtIndex(elements, i);
        if (UInt32(IOHIDElementGetType(candidate)) == type)
            found.push_back(candidate);
    }
    if (elements != nullptr)
        CFRelease(elements);
    return found;
}

void HidLibTest::sendAndWait(int deviceNumber, const std::vector<uint8_t>& report, IOHIDElementRef element,
                             double value)
{
    ASSERT_TRUE(bed.writeInputReport(deviceNumber, report));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (IOHIDElement_GetValue(element, kIOHIDValueScaleTypePhysical) != value)
    {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the report never reached the element";
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string text(CFStringRef string)
{
    if (string == nullptr)
        return "(null)";
    char buffer[512] = {};
    CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

} // namespace hidlibtest
