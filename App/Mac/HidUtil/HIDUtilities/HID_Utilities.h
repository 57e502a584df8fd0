#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include "IOHIDManager/IOHIDDevice_.h"
#include "IOHIDManager/IOHIDElement_.h"

// The process-wide HID manager, its device list (sorted by location ID) and the cursor of the
// walk through that list. All are used from one thread only.
extern IOHIDManagerRef gIOHIDManagerRef;
extern CFMutableArrayRef gDeviceCFArrayRef;
extern CFIndex gDeviceIndex;

// Creates and opens the manager once, matches the devices of the given (usage page, usage) pairs
// (every device when the arrays are null or the count is 0) and rebuilds the device list.
// False when no manager can be created, or when the one this call created cannot be opened.
Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes);

// HIDBuildMultiDeviceList for one pair; a usage page of 0 matches every device.
Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage);

// A matching dictionary for a usage page and usage; the caller owns it. Null on failure.
CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage);

// Replaces the device list with the manager's current devices, sorted by location ID.
void HIDRebuildDevices(void);

// Releases the device list; the manager stays.
void HIDReleaseDeviceList(void);

// The first device of the list, or null; restarts the walk. Devices are not retained for the caller.
IOHIDDeviceRef HIDGetFirstDevice(void);

// The device after the given one in the list, or null at the end, for a null device, or for a device
// that is not in the list (which also ends the walk until HIDGetFirstDevice).
IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// Set applier: appends the value to the CFMutableArrayRef passed as context.
void CFSetApplierFunctionCopyToCFArray(const void* value, void* context);

// Orders two devices by their location IDs; the context is ignored.
CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* context);

// Element types a walk or count lets through, as bits of a type mask.
enum
{
    kHIDElementTypeInput = 1 << 1,      // the four input types
    kHIDElementTypeOutput = 1 << 2,     // output
    kHIDElementTypeFeature = 1 << 3,    // feature
    kHIDElementTypeCollection = 1 << 4, // collection
    kHIDElementTypeIO = kHIDElementTypeInput | kHIDElementTypeOutput | kHIDElementTypeFeature,
    kHIDElementTypeAll = kHIDElementTypeIO | kHIDElementTypeCollection
};

// The element array that each element function copies from its device, uses and releases again
// before it returns; null between calls.
extern CFArrayRef gElementCFArrayRef;

// Fills gElementCFArrayRef with all of a device's elements, in the device's order, for the length of
// a scope, and releases and clears it again. A device whose elements cannot be copied has none.
class HIDElementArraySlot
{
public:
    explicit HIDElementArraySlot(IOHIDDeviceRef inIOHIDDeviceRef);
    ~HIDElementArraySlot();
    HIDElementArraySlot(const HIDElementArraySlot&) = delete;
    HIDElementArraySlot& operator=(const HIDElementArraySlot&) = delete;

    CFIndex count() const;
    IOHIDElementRef at(CFIndex index) const; // may be null
};

// True for a non-null reference of the device or the element type.
Boolean HIDIsValidDevice(IOHIDDeviceRef inIOHIDDeviceRef);
Boolean HIDIsValidElement(IOHIDElementRef inIOHIDElementRef);

// Rebuilds the device list for the given (usage page, usage) pairs, as HIDBuildMultiDeviceList.
Boolean HIDUpdateDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes);

// Whether the device list exists, and how many devices it holds (0 without a list).
Boolean HIDHaveDeviceList(void);
UInt32 HIDCountDevices(void);

// The number of the device's elements whose type passes the mask; 0 for a null device.
UInt32 HIDCountDeviceElements(IOHIDDeviceRef inIOHIDDeviceRef, UInt32 typeMask);

// The first element of the device that passes the mask, or null. Elements belong to their device
// and are not retained for the caller.
IOHIDElementRef HIDGetFirstDeviceElement(IOHIDDeviceRef inIOHIDDeviceRef, UInt32 typeMask);

// The first element after the given one, in its device's order, that passes the mask, or null.
IOHIDElementRef HIDGetNextDeviceElement(IOHIDElementRef inIOHIDElementRef, UInt32 typeMask);

// One line on standard output describing a device, an element, or an element's calibration (whose
// derived values the dump leaves stored on the element). The device dump flushes standard output.
void HIDDumpDeviceInfo(IOHIDDeviceRef inIOHIDDeviceRef);
void HIDDumpElementInfo(IOHIDElementRef inIOHIDElementRef);
void HIDDumpElementCalibrationInfo(IOHIDElementRef inIOHIDElementRef);
