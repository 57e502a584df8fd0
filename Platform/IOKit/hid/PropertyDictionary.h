// A device's properties as the dictionary IOHIDDeviceGetProperty reads and matching compares.
#pragma once

#include "../native/SysfsProperties.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>

namespace iohid
{

cf::Owned<CFMutableDictionaryRef> makePropertyDictionary(const hidraw::DeviceProperties& properties);

} // namespace iohid
