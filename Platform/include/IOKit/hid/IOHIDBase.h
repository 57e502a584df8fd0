// The reference types of the HID interface and the callbacks it calls.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOReturn.h>
#include <IOKit/IOTypes.h>
#include <IOKit/hid/IOHIDKeys.h>

typedef struct __IOHIDManager* IOHIDManagerRef;
typedef struct __IOHIDDevice* IOHIDDeviceRef;
typedef struct __IOHIDElement* IOHIDElementRef;
typedef struct __IOHIDValue* IOHIDValueRef;
typedef struct __IOHIDQueue* IOHIDQueueRef;
typedef struct __IOHIDTransaction* IOHIDTransactionRef;

// Called with the result of an operation and the object that reports it (a device's removal).
typedef void (*IOHIDCallback)(void* context, IOReturn result, void* sender);

// Called with a report copied into the caller's buffer; reportLength is the report's length,
// which may exceed the buffer, of which only the buffer's size was copied.
typedef void (*IOHIDReportCallback)(void* context, IOReturn result, void* sender, IOHIDReportType type,
                                    uint32_t reportID, uint8_t* report, CFIndex reportLength);

// Called with a device the manager matched or lost.
typedef void (*IOHIDDeviceCallback)(void* context, IOReturn result, void* sender, IOHIDDeviceRef device);

// Called with a value of an element.
typedef void (*IOHIDValueCallback)(void* context, IOReturn result, void* sender, IOHIDValueRef value);
