// CFNumber: an integer (signed 64-bit) or a real (double), with exact conversions on the way out.
#include "Kinds.h"

#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFObject.h>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace cf
{
namespace
{

// The sized type each number type stands for.
CFNumberType sizedType(CFNumberType type)
{
    switch (type)
    {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
        return kCFNumberSInt8Type;
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
        return kCFNumberSInt16Type;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        return kCFNumberSInt32Type;
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
        return kCFNumberSInt64Type;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
        return kCFNumberFloat32Type;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
        return kCFNumberFloat64Type;
    default:
        return static_cast<CFNumberType>(0);
    }
}

constexpr double kTwoTo63 = 9223372036854775808.0;

template <typename T> T read(const void* from)
{
    T value;
    std::memcpy(&value, from, sizeof value);
    return value;
}

template <typename T> void write(void* to, T value)
{
    std::memcpy(to, &value, sizeof value);
}

template <typename Int> bool storeInteger(int64_t value, void* to)
{
    const Int narrowed = static_cast<Int>(value);
    write(to, narrowed);
    return static_cast<int64_t>(narrowed) == value;
}

template <typename Int> bool storeRealAsInteger(double value, void* to)
{
    // Out of range, the C conversion is undefined: clamp instead.
    using Limits = std::numeric_limits<Int>;
    if (std::isnan(value))
    {
        write(to, Int(0));
        return false;
    }
    if (value <= static_cast<double>(Limits::min()))
    {
        write(to, Limits::min());
        return value == static_cast<double>(Limits::min());
    }
    if (value >= -static_cast<double>(Limits::min()))
    {
        write(to, Limits::max());
        return false;
    }
    const Int truncated = static_cast<Int>(value);
    write(to, truncated);
    return static_cast<double>(truncated) == value;
}

template <typename Real> bool storeIntegerAsReal(int64_t value, void* to)
{
    const Real real = static_cast<Real>(value);
    write(to, real);
    return real >= -kTwoTo63 && real < kTwoTo63 && static_cast<int64_t>(real) == value;
}

class Number final : public Object
{
public:
    static CFTypeID staticTypeID() { return kNumberType; }

    Number(CFNumberType type, int64_t value)
        : Object(staticTypeID()), m_type(type), m_isReal(false), m_integer(value)
    {
    }
    Number(CFNumberType type, double value)
        : Object(staticTypeID()), m_type(type), m_isReal(true), m_real(value)
    {
    }

    CFNumberType type() const { return m_type; }
    bool isReal() const { return m_isReal; }

    bool store(CFNumberType type, void* to) const
    {
        switch (sizedType(type))
        {
        case kCFNumberSInt8Type:
            return m_isReal ? storeRealAsInteger<int8_t>(m_real, to) : storeInteger<int8_t>(m_integer, to);
        case kCFNumberSInt16Type:
            return m_isReal ? storeRealAsInteger<int16_t>(m_real, to) : storeInteger<int16_t>(m_integer, to);
        case kCFNumberSInt32Type:
            return m_isReal ? storeRealAsInteger<int32_t>(m_real, to) : storeInteger<int32_t>(m_integer, to);
        case kCFNumberSInt64Type:
            return m_isReal ? storeRealAsInteger<int64_t>(m_real, to) : storeInteger<int64_t>(m_integer, to);
        case kCFNumberFloat32Type:
            if (!m_isReal)
                return storeIntegerAsReal<float>(m_integer, to);
            write(to, static_cast<float>(m_real));
            return std::isnan(m_real) || static_cast<double>(static_cast<float>(m_real)) == m_real;
        case kCFNumberFloat64Type:
            if (!m_isReal)
                return storeIntegerAsReal<double>(m_integer, to);
            write(to, m_real);
            return true;
        default:
            return false;
        }
    }

    // Orders by value; NaN equals NaN and comes before every other value.
    int compare(const Number& other) const
    {
        if (!m_isReal && !other.m_isReal)
            return m_integer < other.m_integer ? -1 : m_integer > other.m_integer ? 1 : 0;
        const long double mine = value(), theirs = other.value();
        if (std::isnan(mine) || std::isnan(theirs))
            return std::isnan(mine) == std::isnan(theirs) ? 0 : std::isnan(mine) ? -1 : 1;
        return mine < theirs ? -1 : mine > theirs ? 1 : 0;
    }

    bool equals(const Object& other) const override
    {
        return compare(static_cast<const Number&>(other)) == 0;
    }

    CFHashCode hash() const override
    {
        // Equal values hash alike, whether held as an integer or a real.
        if (!m_isReal)
            return std::hash<int64_t>()(m_integer);
        if (m_real >= -kTwoTo63 && m_real < kTwoTo63 && m_real == std::trunc(m_real))
            return std::hash<int64_t>()(static_cast<int64_t>(m_real));
        return std::isnan(m_real) ? 0 : std::hash<double>()(m_real);
    }

    std::string describe() const override
    {
        char text[64];
        const auto result = m_isReal ? std::to_chars(text, text + sizeof text, m_real)
                                     : std::to_chars(text, text + sizeof text, m_integer);
        return std::string(text, result.ptr);
    }

private:
    long double value() const { return m_isReal ? static_cast<long double>(m_real) : m_integer; }

    const CFNumberType m_type;
    const bool m_isReal;
    union
    {
        int64_t m_integer;
        double m_real;
    };
};

Number* makeNumber(CFNumberType type, const void* from)
{
    const CFNumberType sized = sizedType(type);
    switch (sized)
    {
    case kCFNumberSInt8Type:
        return new Number(sized, int64_t(read<int8_t>(from)));
    case kCFNumberSInt16Type:
        return new Number(sized, int64_t(read<int16_t>(from)));
    case kCFNumberSInt32Type:
        return new Number(sized, int64_t(read<int32_t>(from)));
    case kCFNumberSInt64Type:
        return new Number(sized, read<int64_t>(from));
    case kCFNumberFloat32Type:
        return new Number(sized, double(read<float>(from)));
    case kCFNumberFloat64Type:
        return new Number(sized, read<double>(from));
    default:
        return nullptr;
    }
}

} // namespace
} // namespace cf

CFTypeID CFNumberGetTypeID(void)
{
    return cf::kNumberType;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    if (valuePtr == nullptr)
        return nullptr;
    return cf::toRef<CFNumberRef>(cf::makeNumber(type, valuePtr));
}

CFNumberType CFNumberGetType(CFNumberRef number)
{
    const auto* object = cf::as<cf::Number>(number);
    return object != nullptr ? object->type() : static_cast<CFNumberType>(0);
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    const auto* object = cf::as<cf::Number>(number);
    return object != nullptr && object->isReal();
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr)
{
    const auto* object = cf::as<cf::Number>(number);
    return object != nullptr && valuePtr != nullptr && object->store(type, valuePtr);
}

CFComparisonResult CFNumberCompare(CFNumberRef number1, CFNumberRef number2, void*)
{
    const auto* first = cf::as<cf::Number>(number1);
    const auto* second = cf::as<cf::Number>(number2);
    if (first == nullptr || second == nullptr)
        return kCFCompareEqualTo;
    return static_cast<CFComparisonResult>(first->compare(*second));
}
