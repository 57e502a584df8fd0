#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

// Names of vendors, products, elements and usages, looked up in three property lists,
// "HID_device_usage_strings", "HID_cookie_strings" and "HID_usage_strings". Each list is searched
// for in the program's own resources, then in the bundle registered under
// kHIDUtilitiesBundleIdentifier, then in every loaded bundle; it is loaded on first use and kept for
// the life of the process. Callers serialise their calls.
//
// Name buffers: a lookup writes the name as NUL-terminated UTF-8, never more than
// kHIDNameBufferSize bytes with the terminator, nor more than twice the name's length in UTF-16
// units plus one byte; a buffer of kHIDNameBufferSize bytes always suffices. A product name is the
// vendor's and the product's name joined by a space. A name that does not fit that bound (a long
// one, or one of many three-byte characters) is not written and the lookup fails, whatever list it
// comes from.
#define kHIDNameBufferSize 256

// The identifier under which a program registers the library's own resource bundle.
#define kHIDUtilitiesBundleIdentifier CFSTR("org.trv-q8.HIDUtilities")

// Public lookups: each empties the buffer first and returns 1 when it wrote a name, else 0.
Boolean HIDGetVendorNameFromVendorID(long inVendorID, char* outCStrName);
Boolean HIDGetProductNameFromVendorProductID(long inVendorID, long inProductID, char* outCStrName);
Boolean HIDGetElementNameFromVendorProductCookie(int inVendorID, int inProductID, IOHIDElementCookie inCookie,
                                                 char* outCStrName);
Boolean HIDGetElementNameFromVendorProductUsage(long inVendorID, long inProductID, long inUsagePage,
                                                long inUsage, char* outCStrName);

// The fixed English name of an element type; the buffer must hold 20 bytes.
void HIDGetTypeName(IOHIDElementType inIOHIDElementType, char* outCStrName);

// "<page name> <usage name>" for a usage, owned by the caller; null when either is not listed.
CFStringRef HIDCopyUsageName(long inUsagePage, long inUsage);

// The lookups behind the public ones; they leave the buffer untouched when they fail before writing.
Boolean hu_XMLSearchForVendorNameByVendorID(long inVendorID, char* outCStr);
Boolean hu_XMLSearchForProductNameByVendorProductID(long inVendorID, long inProductID, char* outCStr);
Boolean hu_XMLSearchForElementNameByCookie(long inVendorID, long inProductID, IOHIDElementCookie inCookie,
                                           char* outCStr);
Boolean hu_XMLSearchForElementNameByUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                          char* outCStr);

// A property-list resource found by the search above, owned by the caller; null when it is not found
// or cannot be read.
CFPropertyListRef hu_XMLLoad(CFStringRef inResourceName, CFStringRef inResourceExtension);

// The XML property list at a URL, immutable and owned by the caller; null when it cannot be read or
// parsed.
CFPropertyListRef hu_LoadFromXMLFile(CFURLRef inURL);
