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

// Further number properties, read by the rule above: 0 for a null device or a missing property.
long IOHIDDevice_GetVendorIDSource(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetCountryCode(IOHIDDeviceRef inIOHIDDeviceRef);
UInt32 IOHIDDevice_GetUsage(IOHIDDeviceRef inIOHIDDeviceRef);
UInt32 IOHIDDevice_GetUsagePage(IOHIDDeviceRef inIOHIDDeviceRef);
UInt32 IOHIDDevice_GetPrimaryUsage(IOHIDDeviceRef inIOHIDDeviceRef);
UInt32 IOHIDDevice_GetPrimaryUsagePage(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxInputReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxOutputReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxFeatureReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetReportInterval(IOHIDDeviceRef inIOHIDDeviceRef);

// Object properties as the device holds them: not retained for the caller, null when missing.
// The device must be a valid device reference.
CFStringRef IOHIDDevice_GetTransport(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetManufacturer(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetProduct(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetSerialNumber(IOHIDDeviceRef inIOHIDDeviceRef);
CFArrayRef IOHIDDevice_GetUsagePairs(IOHIDDeviceRef inIOHIDDeviceRef);

// Stores the low 32 bits of a value as a number property of the device.
void IOHIDDevice_SetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long inValue);

// The queue kept on the device, or null. Setting it does not retain it: its owner releases it and
// then sets null in its place.
IOHIDQueueRef IOHIDDevice_GetQueue(IOHIDDeviceRef inIOHIDDeviceRef);
void IOHIDDevice_SetQueue(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDQueueRef inQueueRef);

// A transaction kept on the device, or null; stored and returned as given, never retained.
IOHIDTransactionRef IOHIDDevice_GetTransaction(IOHIDDeviceRef inIOHIDDeviceRef);
void IOHIDDevice_SetTransaction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDTransactionRef inTransactionRef);
