// What the CoreFoundation tests make and read back, written once for all of them.
#pragma once

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CFRunLoopLinux.h>
#include <CoreFoundation/CoreFoundation.h>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace cftest
{

// A string of UTF-8 bytes; null when they are not UTF-8.
inline cf::Owned<CFStringRef> string(std::string_view bytes)
{
    return cf::Owned<CFStringRef>(
        CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                static_cast<CFIndex>(bytes.size()), kCFStringEncodingUTF8, false));
}

// A string's UTF-8 text; "<null>" for anything that is not a string.
inline std::string text(CFTypeRef string)
{
    const char* bytes = CFStringGetCStringPtr(static_cast<CFStringRef>(string), kCFStringEncodingUTF8);
    return bytes != nullptr ? bytes : "<null>";
}

// A number of T's size and kind.
template <typename T>
cf::Owned<CFNumberRef>
number(T value, CFNumberType type = std::is_floating_point_v<T>
                                        ? (sizeof(T) == 4 ? kCFNumberFloat32Type : kCFNumberFloat64Type)
                                        : (sizeof(T) == 4 ? kCFNumberSInt32Type : kCFNumberSInt64Type))
{
    return cf::Owned<CFNumberRef>(CFNumberCreate(nullptr, type, &value));
}

// Another reference to a value, for tables of values of mixed kinds.
inline cf::Owned<> kept(CFTypeRef value)
{
    return cf::Owned<>(CFRetain(value));
}

inline int intOf(CFTypeRef number)
{
    int value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberIntType, &value);
    return value;
}

inline cf::Owned<CFArrayRef> array(std::vector<CFTypeRef> items)
{
    return cf::Owned<CFArrayRef>(
        CFArrayCreate(nullptr, items.data(), static_cast<CFIndex>(items.size()), &kCFTypeArrayCallBacks));
}

inline cf::Owned<CFDictionaryRef> dictionary(std::vector<CFTypeRef> keys, std::vector<CFTypeRef> values)
{
    return cf::Owned<CFDictionaryRef>(
        CFDictionaryCreate(nullptr, keys.data(), values.data(), static_cast<CFIndex>(keys.size()),
                           &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

inline cf::Owned<> parse(std::string_view xml, CFOptionFlags options = kCFPropertyListImmutable,
                         CFStringRef* error = nullptr)
{
    cf::Owned<CFDataRef> data(
        CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(xml.data()), static_cast<CFIndex>(xml.size())));
    return cf::Owned<>(CFPropertyListCreateFromXMLData(nullptr, data.get(), options, error));
}

// The XML text of a property list; empty when it cannot be written.
inline std::string xmlOf(CFTypeRef list)
{
    cf::Owned<CFDataRef> data(CFPropertyListCreateXMLData(nullptr, list));
    const auto* bytes = reinterpret_cast<const char*>(CFDataGetBytePtr(data.get()));
    return bytes != nullptr ? std::string(bytes, CFDataGetLength(data.get())) : std::string();
}

// A pipe whose read end is a run-loop source: the callback drains it, counts and calls `then`.
struct Pipe
{
    int ends[2] = {-1, -1};
    std::atomic<int> fired{0};
    std::function<void()> then = [] {};

    Pipe() { EXPECT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0); }
    ~Pipe() { std::for_each(ends, ends + 2, close); }
    void send() { EXPECT_EQ(write(ends[1], "x", 1), 1); }
    auto addTo(CFRunLoopRef loop, CFStringRef mode)
    {
        return CFRunLoopAddFdSource(loop, ends[0], mode, onReadable, this);
    }

    static void onReadable(int fd, UInt32, void* info)
    {
        char buffer[16];
        while (read(fd, buffer, sizeof buffer) > 0)
            continue;
        ++static_cast<Pipe*>(info)->fired;
        static_cast<Pipe*>(info)->then();
    }
};

} // namespace cftest
