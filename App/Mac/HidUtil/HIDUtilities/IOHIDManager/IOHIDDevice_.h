#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

// Reads a number property of a device as a signed 32-bit value into the low half of *outValue;
// the upper half keeps what the caller put there. False when the device is null, the property is
// missing or not a number, or the number does not fit 32 bits exactly.
Boolean IOHIDDevice_GetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long* outValue);

// Number properties as unsigned 32-bit values; 0 for a null device or a missing property.
long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef);
