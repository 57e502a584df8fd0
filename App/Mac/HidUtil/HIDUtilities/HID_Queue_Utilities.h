#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

// One value queue per device, kept on the device, collecting the changes of the elements it
// watches; values are taken by polling with HIDGetEvent. The int results are IOKit codes: 0,
// kIOReturnBadArgument for a null device or element, kIOReturnError for a device without a queue.
// Failures also go to HIDReportError. Callers serialise their calls.

// Gives the device a stopped queue of 50 values that watches nothing, unless it has one. Always 0:
// read the device's queue to see whether one was made.
int HIDCreateQueue(IOHIDDeviceRef inIOHIDDeviceRef);

// Watches one element, or every input, output and feature element of the device, and starts the queue.
// An element of another device or a collection is refused with kIOReturnBadArgument, and the queue
// is left as it was.
int HIDQueueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef);
int HIDQueueDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// Stops watching one element (a queue left watching nothing is disposed of), or every element of
// the device (the queue is disposed of).
int HIDDequeueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef);
int HIDDequeueDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// True when the device's queue watches none of its input, output and feature elements, or when there
// is no device or no queue. Values still queued play no part.
Boolean HIDIsDeviceQueueEmpty(IOHIDDeviceRef inIOHIDDeviceRef);

// Stops and releases the device's queue, if any. Always 0.
int HIDDisposeReleaseQueue(IOHIDDeviceRef inIOHIDDeviceRef);

// Dequeues every listed device, then releases every other queue the library made; the code of the
// last listed device, 0 for an empty or missing list.
int HIDReleaseAllDeviceQueues(void);

// Releases the queue the library made for a device that the device list has let go of; any other
// device is left as it is.
void hu_ReleaseQueueOfUnlistedDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// Takes the oldest queued value without waiting. True when a value was stored in *outIOHIDValueRef,
// which the caller then releases.
Boolean HIDGetEvent(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDValueRef* outIOHIDValueRef);
