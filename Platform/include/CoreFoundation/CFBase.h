// Basic types of the CoreFoundation layer and the functions every object answers to.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN                                                                                    \
    extern "C"                                                                                               \
    {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

CF_EXTERN_C_BEGIN

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef double Float64;
typedef float Float32;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Counts and indexes are signed 64-bit.
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFHashCode;
typedef unsigned long CFOptionFlags;
typedef double CFTimeInterval;

typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;

// Every object comes from the one heap; the allocator argument is accepted and ignored.
extern const CFAllocatorRef kCFAllocatorDefault;

typedef struct
{
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length)
{
    CFRange range = {location, length};
    return range;
}

typedef enum
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
} CFComparisonResult;

typedef CFComparisonResult (*CFComparatorFunction)(const void* value1, const void* value2, void* context);

enum
{
    kCFNotFound = -1
};

// Adds one reference to the object and returns it. The caller owns the new reference.
CFTypeRef CFRetain(CFTypeRef object);

// Drops one reference; the last one frees the object. A null object is refused without effect.
void CFRelease(CFTypeRef object);

// The number of references the object holds now (for tests and diagnostics only).
CFIndex CFGetRetainCount(CFTypeRef object);

// The type id of the object: compare with CFStringGetTypeID(), CFNumberGetTypeID() and so on.
CFTypeID CFGetTypeID(CFTypeRef object);

// True when both objects are of one type and hold equal values (or are the same object).
Boolean CFEqual(CFTypeRef object1, CFTypeRef object2);

// A hash that is equal for objects that CFEqual calls equal.
CFHashCode CFHash(CFTypeRef object);

// A new string describing the object, owned by the caller. For a string, its own text.
CFStringRef CFCopyDescription(CFTypeRef object);

// A new string naming the type, owned by the caller ("CFString", "CFArray", ...).
CFStringRef CFCopyTypeIDDescription(CFTypeID type);

CF_EXTERN_C_END
