// A queue of the value changes of chosen elements of one device, filled as input reports
// arrive while it is started, and read by polling.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CF_EXTERN_C_BEGIN

CFTypeID IOHIDQueueGetTypeID(void);

// A stopped queue holding up to `depth` values, owned by the caller; null for a null device
// or a depth below 1.
IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef allocator, IOHIDDeviceRef device, CFIndex depth,
                               IOOptionBits options);

IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef queue);
CFIndex IOHIDQueueGetDepth(IOHIDQueueRef queue);

// Watches one more element of the queue's device; an element is watched at most once.
void IOHIDQueueAddElement(IOHIDQueueRef queue, IOHIDElementRef element);
void IOHIDQueueRemoveElement(IOHIDQueueRef queue, IOHIDElementRef element);
Boolean IOHIDQueueContainsElement(IOHIDQueueRef queue, IOHIDElementRef element);

// While started, and while its device object is open, the queue takes the changes of its
// elements; a full queue drops new ones.
void IOHIDQueueStart(IOHIDQueueRef queue);
void IOHIDQueueStop(IOHIDQueueRef queue);

// The oldest queued value, owned by the caller, waiting up to the timeout for one (0 never
// waits); null when none came.
IOHIDValueRef IOHIDQueueCopyNextValueWithTimeout(IOHIDQueueRef queue, CFTimeInterval timeout);
IOHIDValueRef IOHIDQueueCopyNextValue(IOHIDQueueRef queue);

CF_EXTERN_C_END
