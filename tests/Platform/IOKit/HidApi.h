// What the IOKit HID tests share: a manager over the testbed's devices and a run-loop pump.
#pragma once

#include <CoreFoundation/CFObject.h>
#include <IOKit/hid/IOHIDLib.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace hidapi
{

// Runs the current thread's run loop in its default mode until `done` or the timeout.
inline bool runUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(2))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, true);
    }
    return true;
}

// Runs the run loop for a while, for tests that expect nothing to happen.
inline void runFor(std::chrono::milliseconds duration)
{
    runUntil([] { return false; }, duration);
}

inline std::optional<int64_t> numberProperty(IOHIDDeviceRef device, CFStringRef key)
{
    const CFTypeRef value = IOHIDDeviceGetProperty(device, key);
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return std::nullopt;
    int32_t number = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number);
    return uint32_t(number);
}

inline std::vector<IOHIDDeviceRef> devicesOf(IOHIDManagerRef manager)
{
    std::vector<IOHIDDeviceRef> devices;
    const cf::Owned<CFSetRef> set(IOHIDManagerCopyDevices(manager));
    if (!set)
        return devices;
    std::vector<const void*> values(size_t(CFSetGetCount(set.get())));
    CFSetGetValues(set.get(), values.data());
    for (const void* value : values)
        devices.push_back(static_cast<IOHIDDeviceRef>(const_cast<void*>(value)));
    return devices;
}

inline IOHIDDeviceRef deviceWithProduct(IOHIDManagerRef manager, uint32_t productId)
{
    for (IOHIDDeviceRef device : devicesOf(manager))
        if (numberProperty(device, CFSTR(kIOHIDProductIDKey)) == productId)
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

} // namespace hidapi
