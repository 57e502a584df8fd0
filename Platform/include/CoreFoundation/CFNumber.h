// Numbers and the two Boolean constants.
#pragma once

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFBoolean* CFBooleanRef;

typedef enum
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
    kCFNumberMaxType = 14
} CFNumberType;

CFTypeID CFNumberGetTypeID(void);

// A new number holding the value that valuePtr points to, read as the given type; NULL for an
// unknown type or a null pointer. The caller owns it.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* valuePtr);

// The type the number was created with, in its sized form (kCFNumberIntType gives kCFNumberSInt32Type).
CFNumberType CFNumberGetType(CFNumberRef number);

// True when the number holds a floating-point value.
Boolean CFNumberIsFloatType(CFNumberRef number);

// Stores the value as the given type into valuePtr. The result is false when the value does not
// fit exactly (it is then stored as the C conversion gives it: integers wrap, reals truncate).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr);

// Orders two numbers by value, integers and reals alike.
CFComparisonResult CFNumberCompare(CFNumberRef number1, CFNumberRef number2, void* context);

CFTypeID CFBooleanGetTypeID(void);
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

// The value of kCFBooleanTrue or kCFBooleanFalse.
Boolean CFBooleanGetValue(CFBooleanRef boolean);

CF_EXTERN_C_END
