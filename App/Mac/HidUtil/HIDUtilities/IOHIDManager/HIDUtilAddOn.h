#pragma once

#include <IOKit/IOKitLib.h>
#include <IOKit/hid/IOHIDLib.h>

// The registry service of class "IOHIDDevice" at the device's location ID, for calls that need a
// service object rather than the HID reference. 0 when there is none; the caller gives a non-zero
// result back with FreeHIDObject.
io_service_t AllocateHIDObjectFromIOHIDDeviceRef(IOHIDDeviceRef inIOHIDDeviceRef);

// Releases a service object; true when the release succeeded.
Boolean FreeHIDObject(io_object_t inHIDObject);
