#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include "IOHIDManager/IOHIDDevice_.h"

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
