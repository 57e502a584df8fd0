// XML property lists: dictionaries, arrays, strings, numbers, Booleans, data and dates.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDate.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef CFTypeRef CFPropertyListRef;

typedef enum
{
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2
} CFPropertyListMutabilityOptions;

// Reads an XML property list. Containers are immutable unless the options ask for mutable ones.
// NULL for a malformed document, with a reason in *errorString (owned by the caller) when it is
// not NULL. The caller owns the result.
CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags options, CFStringRef* errorString);

// Writes the property list as an XML document, or NULL when it holds something that would not read
// back the same: dictionary keys must be strings, strings must hold no character XML 1.0 cannot
// carry (NUL and the other control characters but tab, line feed and carriage return; U+FFFE,
// U+FFFF), dates must be whole seconds in the years 0000 to 9999. The caller owns the result.
CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList);

CF_EXTERN_C_END
