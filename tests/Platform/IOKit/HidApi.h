// What the IOKit HID tests share: a manager over the testbed's devices, look-ups and waits.
#pragma once

#include <CoreFoundation/CFObject.h>
#include <IOKit/hid/IOHIDLib.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace hidapi
{

// Waits until `done`, for ten seconds unless told otherwise: the limit only ends a wait for what
// never comes, however loaded the machine. With `runLoop`, runs the current thread's run loop in
// its default mode (or the mode given) meanwhile, else only polls, as a caller's loop without a
// run loop would.
inline bool runUntil(const std::function<bool()>& done, bool runLoop = true,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10),
                     CFStringRef mode = kCFRunLoopDefaultMode)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (runLoop)
            CFRunLoopRunInMode(mode, 0.02, true);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Runs the run loop for a while, for tests that expect nothing to happen.
inline void runFor(std::chrono::milliseconds duration)
{
    runUntil([] { return false; }, true, duration);
}

inline std::vector<uint8_t> pattern(size_t size, uint8_t first)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(first + i);
    return bytes;
}

// A device's or an element's number property (IOHIDDeviceGetProperty, IOHIDElementGetProperty), or
// nothing when it is missing or no number.
inline std::optional<int64_t> numberOf(CFTypeRef value)
{
    int64_t number = 0;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return std::nullopt;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number);
    return number;
}

inline std::vector<IOHIDDeviceRef> devicesOf(IOHIDManagerRef manager)
{
    const cf::Owned<CFSetRef> set(IOHIDManagerCopyDevices(manager));
    std::vector<IOHIDDeviceRef> devices(set ? size_t(CFSetGetCount(set.get())) : 0);
    if (set)
        CFSetGetValues(set.get(), const_cast<const void**>(reinterpret_cast<void**>(devices.data())));
    return devices;
}

inline IOHIDDeviceRef deviceWithProduct(IOHIDManagerRef manager, uint32_t productId)
{
    for (IOHIDDeviceRef device : devicesOf(manager))
        if (numberOf(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDProductIDKey))) == productId)
            return device;
    return nullptr;
}

// A manager that matches every device and has opened them.
inline cf::Owned<IOHIDManagerRef> openManager()
{
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone);
    return manager;
}

// A new object of the listed device, of the caller's own, as IOHIDDeviceCreate makes it.
inline cf::Owned<IOHIDDeviceRef> createDevice(IOHIDDeviceRef listed)
{
    CFMutableDictionaryRef service = IOServiceMatching("IOHIDDevice");
    CFDictionarySetValue(service, CFSTR(kIOHIDLocationIDKey),
                         IOHIDDeviceGetProperty(listed, CFSTR(kIOHIDLocationIDKey)));
    const io_service_t handle = IOServiceGetMatchingService(kIOMasterPortDefault, service);
    cf::Owned<IOHIDDeviceRef> device(IOHIDDeviceCreate(kCFAllocatorDefault, handle));
    IOObjectRelease(handle);
    return device;
}

inline cf::Owned<CFDictionaryRef> matching(std::initializer_list<std::pair<const char*, int32_t>> pairs)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, value] : pairs)
    {
        const cf::Owned<CFStringRef> name(
            CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
        const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value));
        CFDictionarySetValue(dictionary, name.get(), number.get());
    }
    return cf::Owned<CFDictionaryRef>(dictionary);
}

// Waits until the device's node has hung up and its reader has said so: an open then fails.
inline void waitUntilTheReaderSeesItGone(IOHIDDeviceRef device)
{
    while (IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone) == kIOReturnSuccess)
        IOHIDDeviceClose(device, kIOHIDOptionsTypeNone);
}

// The device's elements in its order; they live as long as the device.
inline std::vector<IOHIDElementRef> elementsOf(IOHIDDeviceRef device, CFDictionaryRef matching = nullptr)
{
    const cf::Owned<CFArrayRef> array(
        IOHIDDeviceCopyMatchingElements(device, matching, kIOHIDOptionsTypeNone));
    std::vector<IOHIDElementRef> elements;
    for (CFIndex i = 0; array && i < CFArrayGetCount(array.get()); ++i)
        elements.push_back(
            static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(array.get(), i))));
    return elements;
}

// The device's first element of the usage that is no collection, or null.
inline IOHIDElementRef elementWithUsage(IOHIDDeviceRef device, uint32_t page, uint32_t usage)
{
    for (IOHIDElementRef element : elementsOf(device))
        if (IOHIDElementGetUsagePage(element) == page && IOHIDElementGetUsage(element) == usage &&
            IOHIDElementGetType(element) != kIOHIDElementTypeCollection)
            return element;
    return nullptr;
}

// The element's current integer value, or nothing while the device has none.
inline std::optional<CFIndex> valueOf(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess)
        return std::nullopt;
    return IOHIDValueGetIntegerValue(value);
}

} // namespace hidapi
