// A value of an element at one moment: its integer, its bytes, and its scaled forms.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CF_EXTERN_C_BEGIN

CFTypeID IOHIDValueGetTypeID(void);

// New values, owned by the caller; the element is retained. Null for a null element.
IOHIDValueRef IOHIDValueCreateWithIntegerValue(CFAllocatorRef allocator, IOHIDElementRef element,
                                               uint64_t timeStamp, CFIndex value);
IOHIDValueRef IOHIDValueCreateWithBytes(CFAllocatorRef allocator, IOHIDElementRef element, uint64_t timeStamp,
                                        const uint8_t* bytes, CFIndex length);

IOHIDElementRef IOHIDValueGetElement(IOHIDValueRef value);
// Nanoseconds of the monotonic clock when the report arrived.
uint64_t IOHIDValueGetTimeStamp(IOHIDValueRef value);
CFIndex IOHIDValueGetLength(IOHIDValueRef value);
const uint8_t* IOHIDValueGetBytePtr(IOHIDValueRef value);
CFIndex IOHIDValueGetIntegerValue(IOHIDValueRef value);

// The value mapped from the element's logical range: onto its physical range (physical), onto
// its calibration range, -1 to 1 unless set (calibrated), or times ten to its unit exponent.
double IOHIDValueGetScaledValue(IOHIDValueRef value, IOHIDValueScaleType type);

CF_EXTERN_C_END
