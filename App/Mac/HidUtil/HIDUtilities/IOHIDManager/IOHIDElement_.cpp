#include "IOHIDElement_.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
const long kCalibrationMinDefault = 0x7FFFFFFF;
const long kCalibrationDefault = -0x7FFFFFFF;

// The calibration getters' rule: a stored value, else the fallback key, else the default; a derived
// value is stored so that the next read finds it.
long getCalibration(IOHIDElementRef inElementRef, CFStringRef key, CFStringRef fallbackKey, long fallback)
{
    long value = 0;
    if (IOHIDElement_GetLongProperty(inElementRef, key, &value))
        return value;
    if (!IOHIDElement_GetLongProperty(inElementRef, fallbackKey, &value))
        value = fallback;
    IOHIDElement_SetLongProperty(inElementRef, key, value);
    return value;
}
} // namespace

long hu_TruncateToLong(double inValue)
{
    if (std::isnan(inValue))
        return 0;
    // 2^63 is the first double past the range of a long.
    const double limit = 9223372036854775808.0;
    if (inValue >= limit)
        return std::numeric_limits<long>::max();
    if (inValue < -limit)
        return std::numeric_limits<long>::min();
    return static_cast<long>(inValue);
}

double IOHIDElement_GetValue(IOHIDElementRef inElementRef, IOHIDValueScaleType inScaleType)
{
    IOHIDValueRef value = nullptr;
    IOHIDDeviceRef device = IOHIDElementGetDevice(inElementRef);
    if (device == nullptr || IOHIDDeviceGetValue(device, inElementRef, &value) != kIOReturnSuccess ||
        value == nullptr)
        return 0.0;
    return static_cast<double>(hu_TruncateToLong(IOHIDValueGetScaledValue(value, inScaleType)));
}

Boolean IOHIDElement_GetLongProperty(IOHIDElementRef inElementRef, CFStringRef inKey, long* outValue)
{
    CFTypeRef property = IOHIDElementGetProperty(inElementRef, inKey);
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID())
        return false;
    SInt32 value = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt32Type, &value))
        return false;
    *outValue = value;
    return true;
}

void IOHIDElement_SetLongProperty(IOHIDElementRef inElementRef, CFStringRef inKey, long inValue)
{
    const auto value = static_cast<SInt32>(static_cast<std::uint32_t>(inValue));
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr)
        return;
    IOHIDElementSetProperty(inElementRef, inKey, number);
    CFRelease(number);
}

long IOHIDElement_GetCalibrationMin(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationMin"), CFSTR("Max"), kCalibrationMinDefault);
}

void IOHIDElement_SetCalibrationMin(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationMin"), inValue);
}

long IOHIDElement_GetCalibrationMax(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationMax"), CFSTR("Min"), kCalibrationDefault);
}

void IOHIDElement_SetCalibrationMax(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationMax"), inValue);
}

long IOHIDElement_GetCalibrationSaturationMin(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationSaturationMin"), CFSTR("Min"), kCalibrationDefault);
}

void IOHIDElement_SetCalibrationSaturationMin(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationSaturationMin"), inValue);
}

long IOHIDElement_GetCalibrationSaturationMax(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationSaturationMax"), CFSTR("Min"), kCalibrationDefault);
}

void IOHIDElement_SetCalibrationSaturationMax(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationSaturationMax"), inValue);
}

long IOHIDElement_GetCalibrationDeadZoneMin(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationDeadZoneMin"), CFSTR("Min"), kCalibrationDefault);
}

void IOHIDElement_SetCalibrationDeadZoneMin(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationDeadZoneMin"), inValue);
}

long IOHIDElement_GetCalibrationDeadZoneMax(IOHIDElementRef inElementRef)
{
    return getCalibration(inElementRef, CFSTR("CalibrationDeadZoneMax"), CFSTR("Min"), kCalibrationDefault);
}

void IOHIDElement_SetCalibrationDeadZoneMax(IOHIDElementRef inElementRef, long inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationDeadZoneMax"), inValue);
}

double IOHIDElement_GetCalibrationGranularity(IOHIDElementRef inElementRef)
{
    return static_cast<double>(
        getCalibration(inElementRef, CFSTR("CalibrationGranularity"), CFSTR("Min"), kCalibrationDefault));
}

void IOHIDElement_SetCalibrationGranularity(IOHIDElementRef inElementRef, double inValue)
{
    IOHIDElement_SetLongProperty(inElementRef, CFSTR("CalibrationGranularity"), hu_TruncateToLong(inValue));
}

void IOHIDElement_SetupCalibration(IOHIDElementRef inElementRef)
{
    IOHIDElement_SetCalibrationMin(inElementRef, IOHIDElementGetLogicalMin(inElementRef));
    IOHIDElement_SetCalibrationMax(inElementRef, IOHIDElementGetLogicalMax(inElementRef));
    IOHIDElement_SetCalibrationGranularity(inElementRef, 0.0);
    IOHIDElement_SetCalibrationDeadZoneMin(inElementRef, 0);
    IOHIDElement_SetCalibrationDeadZoneMax(inElementRef, 0);
    const long value = hu_TruncateToLong(IOHIDElement_GetValue(inElementRef, kIOHIDValueScaleTypePhysical));
    IOHIDElement_SetCalibrationSaturationMin(inElementRef, value);
    IOHIDElement_SetCalibrationSaturationMax(inElementRef, value);
}
