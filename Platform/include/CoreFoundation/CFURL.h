// File URLs and reading a file's bytes through one.
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFURL* CFURLRef;

typedef enum
{
    kCFURLPOSIXPathStyle = 0
} CFURLPathStyle;

// Error codes of CFURLCreateDataAndPropertiesFromResource.
enum
{
    kCFURLUnknownError = -10,
    kCFURLResourceNotFoundError = -12,
    kCFURLImproperArgumentsError = -15
};

CFTypeID CFURLGetTypeID(void);

// A new file URL for a POSIX path (a relative one is taken from the current directory), or NULL
// for an empty path. The caller owns it.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef path, CFURLPathStyle style,
                                       Boolean isDirectory);
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* path, CFIndex length,
                                                 Boolean isDirectory);

// The URL's path as a new string the caller owns.
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);

// Writes the path and a NUL into the buffer; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxLength);

// Reads the whole file into *resourceData (owned by the caller). *properties, when asked for, gets
// an empty dictionary the caller owns; desiredProperties is ignored. On failure the outputs are
// NULL, *errorCode gets a kCFURL error code, and the result is false.
Boolean CFURLCreateDataAndPropertiesFromResource(CFAllocatorRef allocator, CFURLRef url,
                                                 CFDataRef* resourceData, CFDictionaryRef* properties,
                                                 CFArrayRef desiredProperties, SInt32* errorCode);

CF_EXTERN_C_END
