#include "CFValues.h"
#include "HidObjects.h"

#include <algorithm>
#include <cmath>

namespace iohid
{
namespace
{

double physicalValue(const hidraw::ParsedElement& element, int64_t integer)
{
    const double logicalSpan = double(element.logicalMax) - double(element.logicalMin);
    if (logicalSpan == 0)
        return double(element.physicalMin);
    const double physicalSpan = double(element.physicalMax) - double(element.physicalMin);
    return double(element.physicalMin) +
           (double(integer) - double(element.logicalMin)) * physicalSpan / logicalSpan;
}

// The unit exponent is a 4-bit signed number: 0xE is -2.
double exponentValue(const hidraw::ParsedElement& element, int64_t integer)
{
    int exponent = int(element.unitExponent & 0xF);
    if (exponent > 7)
        exponent -= 16;
    return double(integer) * std::pow(10.0, exponent);
}

double calibration(const Element& element, const char* key, double fallback)
{
    const cf::Owned<CFStringRef> name(
        CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    const CFTypeRef value = element.property(name.get());
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return fallback;
    double number = fallback;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &number);
    return number;
}

double mapRange(double value, double fromLow, double fromHigh, double toLow, double toHigh)
{
    if (fromHigh == fromLow)
        return toLow;
    return toLow + (value - fromLow) * (toHigh - toLow) / (fromHigh - fromLow);
}

struct Range
{
    double low, high;
};

// A stored range whose minimum is not below its maximum is taken as absent: the calibration
// getters store such ranges on a fresh element, and they must not freeze its readings.
Range calibrationRange(const Element& element, const char* lowKey, const char* highKey, Range fallback)
{
    const Range stored{calibration(element, lowKey, fallback.low),
                       calibration(element, highKey, fallback.high)};
    return stored.low < stored.high ? stored : fallback;
}

// Clamps to the saturation range, holds the dead zone at the centre of the calibration range,
// maps the rest onto the calibration range and rounds to its granularity.
double calibratedValue(const Element& element, int64_t integer)
{
    const auto [low, high] = calibrationRange(element, kIOHIDElementCalibrationMinKey,
                                              kIOHIDElementCalibrationMaxKey, {-1.0, 1.0});
    const auto [saturationLow, saturationHigh] = calibrationRange(
        element, kIOHIDElementCalibrationSaturationMinKey, kIOHIDElementCalibrationSaturationMaxKey,
        {double(element.parsed.logicalMin), double(element.parsed.logicalMax)});
    const auto [deadLow, deadHigh] = calibrationRange(element, kIOHIDElementCalibrationDeadZoneMinKey,
                                                      kIOHIDElementCalibrationDeadZoneMaxKey, {0, 0});
    const double granularity = calibration(element, kIOHIDElementCalibrationGranularityKey, 0);

    const double value = std::clamp(double(integer), std::min(saturationLow, saturationHigh),
                                    std::max(saturationLow, saturationHigh));
    const double centre = (low + high) / 2;
    const bool hasDeadZone = deadLow < deadHigh;
    double scaled;
    if (hasDeadZone && value >= deadLow && value <= deadHigh)
        scaled = centre;
    else if (hasDeadZone && value < deadLow)
        scaled = mapRange(value, saturationLow, deadLow, low, centre);
    else if (hasDeadZone)
        scaled = mapRange(value, deadHigh, saturationHigh, centre, high);
    else
        scaled = mapRange(value, saturationLow, saturationHigh, low, high);
    if (granularity > 0)
        scaled = std::round(scaled / granularity) * granularity;
    return scaled;
}

Value* valueOf(IOHIDValueRef ref)
{
    return cf::as<Value>(ref);
}

} // namespace

CFTypeID Value::staticTypeID()
{
    static const CFTypeID id = cf::registerType("IOHIDValue");
    return id;
}

Value::Value(Element* element, uint64_t timestamp, int64_t integer, std::vector<uint8_t> bytes)
    : cf::Object(staticTypeID()), element(element), timestamp(timestamp), integer(integer),
      bytes(std::move(bytes))
{
    element->retain();
}

Value::~Value()
{
    element->release();
}

} // namespace iohid

using namespace iohid;

extern "C"
{

    CFTypeID IOHIDValueGetTypeID(void)
    {
        return Value::staticTypeID();
    }

    IOHIDValueRef IOHIDValueCreateWithIntegerValue(CFAllocatorRef, IOHIDElementRef elementRef,
                                                   uint64_t timeStamp, CFIndex value)
    {
        Element* element = cf::as<Element>(elementRef);
        if (element == nullptr)
            return nullptr;
        std::vector<uint8_t> bytes(sizeof value);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(uint64_t(value) >> (8 * i));
        return cf::toRef<IOHIDValueRef>(new Value(element, timeStamp, value, std::move(bytes)));
    }

    IOHIDValueRef IOHIDValueCreateWithBytes(CFAllocatorRef, IOHIDElementRef elementRef, uint64_t timeStamp,
                                            const uint8_t* bytes, CFIndex length)
    {
        Element* element = cf::as<Element>(elementRef);
        if (element == nullptr || (bytes == nullptr && length > 0) || length < 0)
            return nullptr;
        std::vector<uint8_t> copied(bytes, bytes + length);
        const int32_t integer =
            hidraw::extractField(copied, 0, element->parsed.reportSize, element->parsed.isSigned());
        return cf::toRef<IOHIDValueRef>(new Value(element, timeStamp, integer, std::move(copied)));
    }

    IOHIDElementRef IOHIDValueGetElement(IOHIDValueRef ref)
    {
        const Value* value = valueOf(ref);
        return value != nullptr ? cf::toRef<IOHIDElementRef>(value->element) : nullptr;
    }

    uint64_t IOHIDValueGetTimeStamp(IOHIDValueRef ref)
    {
        const Value* value = valueOf(ref);
        return value != nullptr ? value->timestamp : 0;
    }

    CFIndex IOHIDValueGetLength(IOHIDValueRef ref)
    {
        const Value* value = valueOf(ref);
        return value != nullptr ? CFIndex(value->bytes.size()) : 0;
    }

    const uint8_t* IOHIDValueGetBytePtr(IOHIDValueRef ref)
    {
        const Value* value = valueOf(ref);
        return value != nullptr ? value->bytes.data() : nullptr;
    }

    CFIndex IOHIDValueGetIntegerValue(IOHIDValueRef ref)
    {
        const Value* value = valueOf(ref);
        return value != nullptr ? CFIndex(value->integer) : 0;
    }

    double IOHIDValueGetScaledValue(IOHIDValueRef ref, IOHIDValueScaleType type)
    {
        const Value* value = valueOf(ref);
        if (value == nullptr)
            return 0;
        switch (type)
        {
        case kIOHIDValueScaleTypeCalibrated:
            return calibratedValue(*value->element, value->integer);
        case kIOHIDValueScaleTypePhysical:
            return physicalValue(value->element->parsed, value->integer);
        case kIOHIDValueScaleTypeExponent:
            return exponentValue(value->element->parsed, value->integer);
        default:
            return double(value->integer);
        }
    }

} // extern "C"
