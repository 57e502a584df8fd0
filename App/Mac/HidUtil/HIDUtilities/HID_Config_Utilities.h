#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include <cstdio>

// What identifies a device's control, as saved and restored. A field of 0 counts as absent. In a
// file it is exactly these 44 bytes, in the host's byte order.
struct HIDElementConfigRecord
{
    SInt32 actionID;
    SInt32 vendorID;
    SInt32 productID;
    SInt32 locationID;
    SInt32 usagePage;
    SInt32 usage;
    SInt32 elementUsagePage;
    SInt32 elementUsage;
    SInt32 saturationMin;
    SInt32 saturationMax;
    SInt32 elementCookie;
};

// Waits, polling without pause, until an input element of the device moves by more than 10 % of its
// logical range, or until the time-out (in seconds of processor time) passes. Needs the device list.
// 1 with the element in *outIOHIDElementRef; 0 with null there on a time-out.
Boolean HIDConfigureSingleDeviceAction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                                       float timeout);

// The same across every listed device (the list is built when there is none): the first single,
// non-array input element that moves by at least 10 % of its physical range. 1 with the device and
// element in the out pointers; 0 with null in both on a time-out.
Boolean HIDConfigureAction(IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                           float timeout);

// Stores the device and element as an application preference string under the key. 0 for a device
// without vendor, product or location ID, or without a usage page and usage.
Boolean HIDSaveElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                           IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef);

// Finds the listed device and element that best match the stored preference. 1 with them in the out
// pointers; 0, with the out pointers untouched, when nothing is stored or nothing matches. A stored
// value that is not a string is removed.
Boolean HIDRestoreElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                              IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef);

// The listed device and element that score best against the record; 1 when one was found.
Boolean HIDFindDeviceAndElement(const HIDElementConfigRecord* inSearchInfo, IOHIDDeviceRef* outFoundDevice,
                                IOHIDElementRef* outFoundElement);

// Fills a record from a device and element (fields 1 to 10 are 0 when either is null).
void HIDSetElementConfig(HIDElementConfigRecord* inConfigRec, IOHIDDeviceRef inIOHIDDeviceRef,
                         IOHIDElementRef inIOHIDElementRef, int actionID);

// Writes the record of a device and element at the file's position (nothing for a null file).
void HIDSaveElementConfig(FILE* fileRef, IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef,
                          int actionID);

// The listed device at the record's location (else the first of its vendor and product) and its
// element, whose saturation is restored; null in both out pointers when either is not found.
// Returns the record's actionID.
int HIDGetElementConfig(const HIDElementConfigRecord* inConfigRec, IOHIDDeviceRef* outIOHIDDeviceRef,
                        IOHIDElementRef* outIOHIDElementRef);

// Reads one record from the file's position and finds it as HIDGetElementConfig. A file that holds
// less than a whole record gives 0 with null in both out pointers.
int HIDRestoreElementConfig(FILE* fileRef, IOHIDDeviceRef* outIOHIDDeviceRef,
                            IOHIDElementRef* outIOHIDElementRef);

// Reads a preference string into the identifying fields of a record (the others become 0). False
// when it is too long or not in the preference form.
Boolean hu_ReadElementPrefString(CFStringRef inPrefString, HIDElementConfigRecord* outConfigRec);
