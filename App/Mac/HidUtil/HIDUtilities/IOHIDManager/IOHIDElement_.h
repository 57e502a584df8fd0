#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

// The element's current value from its device, scaled, truncated toward zero; 0.0 when it cannot
// be read.
double IOHIDElement_GetValue(IOHIDElementRef inElementRef, IOHIDValueScaleType inScaleType);

// Reads a number property of an element as a signed 32-bit value, widened with its sign into
// *outValue. False, with *outValue untouched, when the property is missing, not a number or does
// not fit 32 bits exactly.
Boolean IOHIDElement_GetLongProperty(IOHIDElementRef inElementRef, CFStringRef inKey, long* outValue);

// Stores the low 32 bits of a value as a number property of the element.
void IOHIDElement_SetLongProperty(IOHIDElementRef inElementRef, CFStringRef inKey, long inValue);

// Calibration kept on the element. A getter whose value was never set derives it (the minimum from
// the element's "Max", the others from its "Min", else 0x7FFFFFFF for the minimum and -0x7FFFFFFF for
// the others), stores it and returns it. The library only keeps these values; it applies none.
long IOHIDElement_GetCalibrationMin(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationMin(IOHIDElementRef inElementRef, long inValue);
long IOHIDElement_GetCalibrationMax(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationMax(IOHIDElementRef inElementRef, long inValue);
long IOHIDElement_GetCalibrationSaturationMin(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationSaturationMin(IOHIDElementRef inElementRef, long inValue);
long IOHIDElement_GetCalibrationSaturationMax(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationSaturationMax(IOHIDElementRef inElementRef, long inValue);
long IOHIDElement_GetCalibrationDeadZoneMin(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationDeadZoneMin(IOHIDElementRef inElementRef, long inValue);
long IOHIDElement_GetCalibrationDeadZoneMax(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationDeadZoneMax(IOHIDElementRef inElementRef, long inValue);
// The granularity is kept as an integer: the setter truncates toward zero.
double IOHIDElement_GetCalibrationGranularity(IOHIDElementRef inElementRef);
void IOHIDElement_SetCalibrationGranularity(IOHIDElementRef inElementRef, double inValue);

// Calibration from the logical range, no dead zone or granularity, and both saturation values at
// the element's current physical value.
void IOHIDElement_SetupCalibration(IOHIDElementRef inElementRef);

// A double truncated toward zero into a long; NaN gives 0 and values beyond the range of a long give
// its nearest end.
long hu_TruncateToLong(double inValue);
