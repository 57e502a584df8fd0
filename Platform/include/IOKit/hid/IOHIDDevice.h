// One HID device: its properties, elements and element values, its input reports, its removal,
// and output reports sent to it.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CF_EXTERN_C_BEGIN

CFTypeID IOHIDDeviceGetTypeID(void);

// A new object of the device behind a registry handle (IOServiceGetMatchingService), owned by the
// caller; null when the handle names no device. Every call, and every manager, makes objects of
// its own: what is opened, scheduled or registered on one is never seen through another, and ends
// with it. Every object of a device is told when the device goes.
IOHIDDeviceRef IOHIDDeviceCreate(CFAllocatorRef allocator, io_service_t service);

// Opens this object of the device: its input reports are read, and its element values and queues
// follow them, whether or not a run loop runs. Opens nest; each needs its close, and the last
// release closes what is left open.
IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits options);
IOReturn IOHIDDeviceClose(IOHIDDeviceRef device, IOOptionBits options);

// True when the device has an application collection of the usage page and usage.
Boolean IOHIDDeviceConformsTo(IOHIDDeviceRef device, uint32_t usagePage, uint32_t usage);

// The value of a property (see IOHIDKeys.h), not owned by the caller; null when missing.
CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key);

// Stores a property on the device (retained); a null value removes it. True when stored.
Boolean IOHIDDeviceSetProperty(IOHIDDeviceRef device, CFStringRef key, CFTypeRef property);

// The device's elements that fit the dictionary (all of them for null), in descriptor order,
// as an array owned by the caller; null when none fits.
CFArrayRef IOHIDDeviceCopyMatchingElements(IOHIDDeviceRef device, CFDictionaryRef matching,
                                           IOOptionBits options);

// The device's callbacks run on the run loop while it runs in the mode. One run loop only, in
// any modes: scheduling on a second run loop before unscheduling from the first is refused, and
// said on standard error. A mode scheduled twice is one registration, the common modes counting
// as the default mode, and unscheduling it under either name ends it.
void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);

// Calls the callback once, on the device's run loop, when the device goes away. Null unregisters.
void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context);

// Copies each input report into the caller's buffer (at most reportLength bytes; the buffer
// must outlive the registration) and calls the callback on the device's run loop with the
// report's length. A null callback stops the calls. Reports wait, in order, up to 64 of them,
// while the run loop does not run.
void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context);

// Sends an output report and returns when the device has taken it or the send has failed;
// callable from any thread. With report ID 0 the bytes are the report; with another id the
// report starts with its id byte. kIOReturnNotOpen unless this object is open;
// kIOReturnNotAttached at once for a device that has gone.
IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength);

// The element's latest value, not owned by the caller: valid until the next call for the same
// element gives a newer value, or the device is released. Only values read from the device are
// given, and only while this object is open (kIOReturnNotOpen otherwise): kIOReturnNotReady for an
// input element before a report has carried it, and kIOReturnUnsupported for feature and output
// elements.
IOReturn IOHIDDeviceGetValue(IOHIDDeviceRef device, IOHIDElementRef element, IOHIDValueRef* pValue);

CF_EXTERN_C_END
