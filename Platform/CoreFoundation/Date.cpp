// CFDate: an immutable point in time, and its text in property lists.
#include "Dates.h"
#include "Kinds.h"

#include <CoreFoundation/CFObject.h>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace cf
{
namespace
{

using namespace std::chrono;

constexpr sys_seconds kReference{sys_days(year(2001) / January / 1)};
constexpr sys_seconds kFirst{sys_days(year(0) / January / 1)};
constexpr sys_seconds kEnd{sys_days(year(10000) / January / 1)};

class Date final : public Object
{
public:
    static CFTypeID staticTypeID() { return kDateType; }
    explicit Date(CFAbsoluteTime time) : Object(staticTypeID()), m_time(time) {}

    CFAbsoluteTime time() const { return m_time; }

    bool equals(const Object& other) const override
    {
        return m_time == static_cast<const Date&>(other).m_time;
    }
    CFHashCode hash() const override { return std::hash<double>()(m_time); }
    std::string describe() const override { return dateText(m_time).value_or("<CFDate>"); }

private:
    const CFAbsoluteTime m_time;
};

// The number written in the text's digits from..from+count; the caller has checked they are digits.
int field(std::string_view text, size_t from, size_t count)
{
    int value = 0;
    std::from_chars(text.data() + from, text.data() + from + count, value);
    return value;
}

bool hasShape(std::string_view text)
{
    constexpr std::string_view shape = "0000-00-00T00:00:00Z";
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i])
            return false;
    return true;
}

} // namespace

std::optional<std::string> dateText(CFAbsoluteTime time)
{
    const auto first = static_cast<double>((kFirst - kReference).count());
    const auto end = static_cast<double>((kEnd - kReference).count());
    if (!(time >= first && time < end) || std::trunc(time) != time)
        return std::nullopt;
    const sys_seconds point = kReference + seconds(static_cast<long long>(time));
    const sys_days day = floor<days>(point);
    const year_month_day date(day);
    const hh_mm_ss<seconds> clock(point - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return std::string(text);
}

std::optional<CFAbsoluteTime> parseDate(std::string_view text)
{
    if (!hasShape(text))
        return std::nullopt;
    const year_month_day date{year(field(text, 0, 4)), month(field(text, 5, 2)), day(field(text, 8, 2))};
    const int hour = field(text, 11, 2), minute = field(text, 14, 2), second = field(text, 17, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const sys_seconds point = sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
    return static_cast<CFAbsoluteTime>((point - kReference).count());
}

} // namespace cf

CFTypeID CFDateGetTypeID(void)
{
    return cf::kDateType;
}

CFDateRef CFDateCreate(CFAllocatorRef, CFAbsoluteTime at)
{
    return cf::toRef<CFDateRef>(new cf::Date(at));
}

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef date)
{
    const auto* object = cf::as<cf::Date>(date);
    return object != nullptr ? object->time() : 0;
}
