// Immutable Unicode strings, kept as UTF-8; lengths are counted in UTF-16 units.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <stdarg.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFDictionary* CFDictionaryRef;

typedef UInt32 CFStringEncoding;
enum
{
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

CFTypeID CFStringGetTypeID(void);

// A string constant for a C string literal: never released, equal literals give the same object.
#define CFSTR(literal) CFStringMakeConstant("" literal "")
CFStringRef CFStringMakeConstant(const char* literal);

// A new string from a NUL-terminated C string, or NULL when the bytes are not valid in the encoding
// (ASCII or UTF-8). The caller owns the result.
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text, CFStringEncoding encoding);

// As CFStringCreateWithCString, from `length` bytes that need not be NUL-terminated. The last
// argument is accepted for compatibility and ignored.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);

// The same text as a string the caller owns (strings are immutable, so this is the same object).
CFStringRef CFStringCreateCopy(CFAllocatorRef allocator, CFStringRef string);

// The length in UTF-16 code units: a character outside the Basic Multilingual Plane counts two.
CFIndex CFStringGetLength(CFStringRef string);

// Writes the text and a NUL into the buffer. False, with the buffer untouched, when the text does
// not fit into bufferSize bytes or cannot be written in the encoding (ASCII or UTF-8).
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);

// The text as a NUL-terminated UTF-8 string owned by the string, or NULL for another encoding.
const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding);

// A new string made with printf conversions; "%@" takes an object and gives a string's own text,
// another object's description, and "(null)" for NULL. The options are ignored. The caller owns it.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef allocator, CFDictionaryRef formatOptions,
                                     CFStringRef format, ...);
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef allocator, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments);

// Orders two strings by their Unicode code points.
CFComparisonResult CFStringCompare(CFStringRef string1, CFStringRef string2, CFOptionFlags options);

CF_EXTERN_C_END
