// The string object, shared by the units that make or read strings.
#pragma once

#include "Kinds.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CFString.h>
#include <cstdarg>
#include <string>
#include <string_view>

namespace cf
{

class String final : public Object
{
public:
    static CFTypeID staticTypeID() { return kStringType; }

    // The text must be well-formed UTF-8.
    explicit String(std::string text);
    // A string that lives as long as the process (constants).
    static String* makeConstant(std::string text) { return new String(std::move(text), Immortal()); }

    const std::string& text() const { return m_text; }
    CFIndex utf16Length() const { return m_utf16Length; }

    bool equals(const Object& other) const override;
    CFHashCode hash() const override;
    std::string describe() const override { return m_text; }

private:
    String(std::string text, Immortal);

    const std::string m_text;
    const CFIndex m_utf16Length;
};

// A new string the caller owns, or NULL when the text is not well-formed UTF-8.
CFStringRef makeString(std::string text);

// The text of a string; empty for NULL or another kind.
std::string_view textOf(CFTypeRef string);

// The text "%@" gives for an object: a string's own text, another object's description, "(null)".
std::string formatArgumentText(CFTypeRef object);

// printf formatting with "%@" for objects.
std::string formatText(std::string_view format, va_list arguments);

} // namespace cf
