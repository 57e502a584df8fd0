#include "HID_Queue_Utilities.h"

#include "HID_Error_Handler.h"
#include "HID_Utilities.h"

#include <cassert>

namespace
{
const CFIndex kQueueDepth = 50;

void assertDevice(IOHIDDeviceRef device)
{
    assert(IOHIDDeviceGetTypeID() == CFGetTypeID(device));
    (void)device;
}

void assertElement(IOHIDElementRef element)
{
    assert(IOHIDElementGetTypeID() == CFGetTypeID(element));
    (void)element;
}

// The device's queue, made first when it has none; *result takes the code of the creation.
IOHIDQueueRef queueMadeIfNeeded(IOHIDDeviceRef device, int* result)
{
    *result = 0;
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(device);
    if (queue == nullptr)
    {
        *result = HIDCreateQueue(device);
        if (*result == 0)
            queue = IOHIDDevice_GetQueue(device);
    }
    return queue;
}

// A queue watches only the elements of its own device, and never a collection.
bool isQueueable(IOHIDDeviceRef device, IOHIDElementRef element)
{
    return IOHIDElementGetDevice(element) == device &&
           IOHIDElementGetType(element) != kIOHIDElementTypeCollection;
}

void addIfMissing(IOHIDQueueRef queue, IOHIDElementRef element)
{
    if (!IOHIDQueueContainsElement(queue, element))
        IOHIDQueueAddElement(queue, element);
}

void removeIfPresent(IOHIDQueueRef queue, IOHIDElementRef element)
{
    if (IOHIDQueueContainsElement(queue, element))
        IOHIDQueueRemoveElement(queue, element);
}

template <typename Visit> void forEachQueuableElement(IOHIDDeviceRef device, Visit visit)
{
    for (IOHIDElementRef element = HIDGetFirstDeviceElement(device, kHIDElementTypeIO); element != nullptr;
         element = HIDGetNextDeviceElement(element, kHIDElementTypeIO))
        visit(element);
}

// The devices the library made a queue for, retained until their queue goes: a queue holds its
// device, so a device that the list has let go of is found only here.
CFMutableArrayRef queuedDevices()
{
    static const CFMutableArrayRef devices =
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    return devices;
}

CFIndex queuedCount()
{
    return queuedDevices() != nullptr ? CFArrayGetCount(queuedDevices()) : 0;
}

CFIndex queuedIndexOf(IOHIDDeviceRef device)
{
    if (queuedCount() == 0)
        return -1;
    return CFArrayGetFirstIndexOfValue(queuedDevices(), CFRangeMake(0, queuedCount()), device);
}

void recordQueued(IOHIDDeviceRef device)
{
    if (queuedDevices() != nullptr && queuedIndexOf(device) < 0)
        CFArrayAppendValue(queuedDevices(), device);
}

void forgetQueued(IOHIDDeviceRef device)
{
    const CFIndex index = queuedIndexOf(device);
    if (index >= 0)
        CFArrayRemoveValueAtIndex(queuedDevices(), index);
}

int disposeAndReport(IOHIDDeviceRef device)
{
    const int result = HIDDisposeReleaseQueue(device);
    if (result != 0)
        HIDReportErrorNum("Failed to dispose and release queue.", result);
    return result;
}
} // namespace

int HIDCreateQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportErrorNum("HID device ref does not exist for queue creation", 0);
        return 0;
    }
    assertDevice(inIOHIDDeviceRef);
    if (IOHIDDevice_GetQueue(inIOHIDDeviceRef) != nullptr)
        return 0;

    IOHIDQueueRef queue =
        IOHIDQueueCreate(kCFAllocatorDefault, inIOHIDDeviceRef, kQueueDepth, kIOHIDOptionsTypeNone);
    if (queue != nullptr)
    {
        IOHIDDevice_SetQueue(inIOHIDDeviceRef, queue);
        recordQueued(inIOHIDDeviceRef);
    }
    else
        HIDReportErrorNum("Failed to create queue via create", 0);
    return 0;
}

int HIDQueueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDQueueElement.");
        return kIOReturnBadArgument;
    }
    assertDevice(inIOHIDDeviceRef);
    if (inIOHIDElementRef == nullptr)
    {
        HIDReportError("NULL element passed to HIDQueueElement.");
        return kIOReturnBadArgument;
    }
    assertElement(inIOHIDElementRef);
    if (!isQueueable(inIOHIDDeviceRef, inIOHIDElementRef))
    {
        HIDReportError("Element passed to HIDQueueElement cannot be queued on the device.");
        return kIOReturnBadArgument;
    }

    int result = 0;
    IOHIDQueueRef queue = queueMadeIfNeeded(inIOHIDDeviceRef, &result);
    if (queue == nullptr)
    {
        HIDReportError("No queue for device passed to HIDQueueElement.");
        return result != 0 ? result : kIOReturnError;
    }
    IOHIDQueueStop(queue);
    addIfMissing(queue, inIOHIDElementRef);
    IOHIDQueueStart(queue);
    return result;
}

int HIDQueueDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("Device does not exist, cannot queue device.");
        return kIOReturnBadArgument;
    }
    int result = 0;
    IOHIDQueueRef queue = queueMadeIfNeeded(inIOHIDDeviceRef, &result);
    if (result != 0 || queue == nullptr)
    {
        HIDReportErrorNum("Could not queue device due to problem creating queue.", result);
        return result != 0 ? result : kIOReturnError;
    }
    IOHIDQueueStop(queue);
    forEachQueuableElement(inIOHIDDeviceRef,
                           [queue](IOHIDElementRef element) { addIfMissing(queue, element); });
    IOHIDQueueStart(queue);
    return 0;
}

int HIDDequeueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDDequeueElement.");
        return kIOReturnBadArgument;
    }
    assertDevice(inIOHIDDeviceRef);
    if (inIOHIDElementRef == nullptr)
    {
        HIDReportError("NULL element passed to HIDDequeueElement.");
        return kIOReturnBadArgument;
    }
    assertElement(inIOHIDElementRef);

    IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("No queue for device passed to HIDDequeueElement.");
        return kIOReturnError;
    }
    IOHIDQueueStop(queue);
    removeIfPresent(queue, inIOHIDElementRef);
    if (HIDIsDeviceQueueEmpty(inIOHIDDeviceRef))
        return disposeAndReport(inIOHIDDeviceRef);
    IOHIDQueueStart(queue);
    return 0;
}

int HIDDequeueDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("Device does not exist, cannot queue device.");
        return kIOReturnBadArgument;
    }
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("No queue for device passed to HIDDequeueElement.");
        return kIOReturnError;
    }
    forEachQueuableElement(inIOHIDDeviceRef,
                           [queue](IOHIDElementRef element) { removeIfPresent(queue, element); });
    return disposeAndReport(inIOHIDDeviceRef);
}

Boolean HIDIsDeviceQueueEmpty(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDIsDeviceQueueEmpty.");
        return true;
    }
    assertDevice(inIOHIDDeviceRef);
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("NULL device passed to HIDIsDeviceQueueEmpty.");
        return true;
    }
    for (IOHIDElementRef element = HIDGetFirstDeviceElement(inIOHIDDeviceRef, kHIDElementTypeIO);
         element != nullptr; element = HIDGetNextDeviceElement(element, kHIDElementTypeIO))
    {
        if (IOHIDQueueContainsElement(queue, element))
            return false;
    }
    return true;
}

int HIDDisposeReleaseQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDDisposeReleaseQueue.");
        return 0;
    }
    if (IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef))
    {
        IOHIDQueueStop(queue);
        // The device must never be left holding a released queue.
        IOHIDDevice_SetQueue(inIOHIDDeviceRef, nullptr);
        CFRelease(queue);
    }
    forgetQueued(inIOHIDDeviceRef);
    return 0;
}

int HIDReleaseAllDeviceQueues(void)
{
    int result = 0;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
    {
        result = HIDDequeueDevice(device);
        if (result != 0)
            HIDReportErrorNum("Could not dequeue device.", result);
    }
    // Devices that have left the list, or were never in it, may still hold one; each disposal
    // forgets its device.
    while (queuedCount() > 0)
        HIDDisposeReleaseQueue((IOHIDDeviceRef)CFArrayGetValueAtIndex(queuedDevices(), queuedCount() - 1));
    return result;
}

void hu_ReleaseQueueOfUnlistedDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (queuedIndexOf(inIOHIDDeviceRef) >= 0)
        HIDDisposeReleaseQueue(inIOHIDDeviceRef);
}

Boolean HIDGetEvent(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDValueRef* outIOHIDValueRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("Could not get HID event, device does not exist.");
        return false;
    }
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("Could not get HID event, hid queue reference does not exist.");
        return false;
    }
    if (outIOHIDValueRef == nullptr)
        return false;
    *outIOHIDValueRef = IOHIDQueueCopyNextValueWithTimeout(queue, 0.0);
    return *outIOHIDValueRef != nullptr;
}
