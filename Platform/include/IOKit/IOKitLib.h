// The IOKit registry: HID devices found by matching dictionaries, as service handles.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOReturn.h>
#include <IOKit/IOTypes.h>

// The key of a matching dictionary that names the class of the services wanted.
#define kIOProviderClassKey "IOProviderClass"

CF_EXTERN_C_BEGIN

// The port every registry call takes; there is only the one.
extern const mach_port_t kIOMasterPortDefault;
extern const mach_port_t kIOMainPortDefault;

// A matching dictionary for services of the class ("IOHIDDevice"), owned by the caller; add
// properties to it (e.g. "LocationID") to narrow the match. Null for a null name.
CFMutableDictionaryRef IOServiceMatching(const char* name);

// The first service that matches, owned by the caller (give it back with IOObjectRelease), or 0.
// Consumes one reference of the dictionary.
io_service_t IOServiceGetMatchingService(mach_port_t mainPort, CFDictionaryRef matching);

// Gives back a handle from IOServiceGetMatchingService. kIOReturnBadArgument for an unknown one.
kern_return_t IOObjectRelease(io_object_t object);

// Takes another reference of a handle.
kern_return_t IOObjectRetain(io_object_t object);

CF_EXTERN_C_END
