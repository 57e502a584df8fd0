// The text of a date in property lists: "2001-01-01T00:00:00Z", UTC, whole seconds, years 0000-9999.
#pragma once

#include <CoreFoundation/CFDate.h>
#include <optional>
#include <string>
#include <string_view>

namespace cf
{

// The text for the time, or nothing when the text cannot hold it exactly.
std::optional<std::string> dateText(CFAbsoluteTime time);

// The time the text names, or nothing when it is not such a text or names no real day.
std::optional<CFAbsoluteTime> parseDate(std::string_view text);

} // namespace cf
