// A HID manager finds the HID devices that fit its matching dictionaries, opens them, and
// reports their arrival and removal on the run loops where it is scheduled.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CF_EXTERN_C_BEGIN

CFTypeID IOHIDManagerGetTypeID(void);

// A new manager that matches nothing until given matching dictionaries; owned by the caller.
IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef allocator, IOOptionBits options);

// Opens every device the manager matches, now and as they arrive. A device that cannot be
// opened stays listed; its node is named once on standard error with the reason.
IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, IOOptionBits options);

// Closes the devices the manager opened.
IOReturn IOHIDManagerClose(IOHIDManagerRef manager, IOOptionBits options);

// Matches the devices whose properties hold every key and value of the dictionary; null or an
// empty dictionary matches every device. The dictionary is copied.
void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, CFDictionaryRef matching);

// Matches the devices that fit any dictionary of the array; null matches every device.
void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef manager, CFArrayRef multiple);

// The devices the manager matches now, as a set owned by the caller; null before the manager
// has been given matching dictionaries or opened. The objects are the manager's own, the same one
// for a device each time.
CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager);

// Once the manager is scheduled, calls the callback for each device it matches: those present
// when it is scheduled and those that arrive later. A null callback unregisters.
void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback,
                                                void* context);

// Calls the callback for each matched device that goes away. A null callback unregisters.
void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback,
                                               void* context);

// The manager's callbacks run on the run loop while it runs in the mode. One run loop only, in
// any modes: scheduling on a second run loop before unscheduling from the first is refused, and
// said on standard error. A mode scheduled twice is one registration, the common modes counting
// as the default mode, and unscheduling it under either name ends it.
void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop,
                                       CFStringRef runLoopMode);

CF_EXTERN_C_END
