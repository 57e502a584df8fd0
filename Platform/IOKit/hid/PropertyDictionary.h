// A device's properties as the dictionary IOHIDDeviceGetProperty reads and matching compares.
#pragma once

#include "../native/SysfsProperties.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <mutex>

namespace iohid
{

cf::Owned<CFMutableDictionaryRef> makePropertyDictionary(const hidraw::DeviceProperties& properties);

// The properties of a device or an element, which any thread may read and set: those the layer
// publishes and those a caller added.
class PropertyStore
{
public:
    explicit PropertyStore(cf::Owned<CFMutableDictionaryRef> dictionary) : dictionary(std::move(dictionary))
    {
    }

    // The value under the key, not retained for the caller, or null.
    CFTypeRef get(CFStringRef key) const;
    // Sets the value, or removes the key for a null value; false without a key.
    bool set(CFStringRef key, CFTypeRef value);
    // True when the properties hold every pair of the matching dictionary.
    bool holdsAll(CFDictionaryRef matching) const;

private:
    mutable std::mutex lock;
    cf::Owned<CFMutableDictionaryRef> dictionary;
};

} // namespace iohid
