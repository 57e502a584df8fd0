// printf formatting for strings, with "%@" for objects. Each conversion other than "%@" is handed
// to snprintf with the argument type its length modifier names.
#include "Strings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cf
{
namespace
{

struct Conversion
{
    std::string spec;   // the whole conversion, "%" to the conversion character
    std::string length; // the length modifier: "", "hh", "h", "l", "ll", "q", "L", "j", "z", "t"
    char type = 0;      // the conversion character
    int starCount = 0;  // widths or precisions taken from the arguments
};

// Reads one conversion that starts at format[position] == '%' and moves position past it.
Conversion readConversion(std::string_view format, size_t& position)
{
    Conversion conversion;
    const size_t start = position++;
    auto at = [&](size_t i) { return i < format.size() ? format[i] : '\0'; };
    while (at(position) != '\0' && std::strchr("-+ #0'", at(position)) != nullptr)
        ++position;
    for (int part = 0; part < 2; ++part)
    {
        if (part == 1)
        {
            if (at(position) != '.')
                break;
            ++position;
        }
        if (at(position) == '*')
        {
            ++conversion.starCount;
            ++position;
        }
        while (at(position) >= '0' && at(position) <= '9')
            ++position;
    }
    const size_t lengthStart = position;
    while (at(position) != '\0' && std::strchr("hlqLjzt", at(position)) != nullptr)
        ++position;
    conversion.length = std::string(format.substr(lengthStart, position - lengthStart));
    conversion.type = at(position);
    if (conversion.type != '\0')
        ++position;
    conversion.spec = std::string(format.substr(start, position - start));
    return conversion;
}

template <typename Value>
void appendPrinted(std::string& out, const Conversion& conversion, const int* stars, Value value)
{
    std::vector<char> buffer(64);
    for (;;)
    {
        int written = 0;
        if (conversion.starCount == 0)
            written = std::snprintf(buffer.data(), buffer.size(), conversion.spec.c_str(), value);
        else if (conversion.starCount == 1)
            written = std::snprintf(buffer.data(), buffer.size(), conversion.spec.c_str(), stars[0], value);
        else
            written = std::snprintf(buffer.data(), buffer.size(), conversion.spec.c_str(), stars[0], stars[1],
                                    value);
        if (written < 0)
            return;
        if (static_cast<size_t>(written) < buffer.size())
        {
            out.append(buffer.data(), written);
            return;
        }
        buffer.resize(written + 1);
    }
}

void appendInteger(std::string& out, const Conversion& conversion, const int* stars, va_list& arguments)
{
    const std::string& length = conversion.length;
    if (length == "l")
        appendPrinted(out, conversion, stars, va_arg(arguments, long));
    else if (length == "ll" || length == "q")
        appendPrinted(out, conversion, stars, va_arg(arguments, long long));
    else if (length == "j")
        appendPrinted(out, conversion, stars, va_arg(arguments, intmax_t));
    else if (length == "z")
        appendPrinted(out, conversion, stars, va_arg(arguments, size_t));
    else if (length == "t")
        appendPrinted(out, conversion, stars, va_arg(arguments, ptrdiff_t));
    else
        appendPrinted(out, conversion, stars, va_arg(arguments, int)); // char and short arrive as int
}

void appendReal(std::string& out, const Conversion& conversion, const int* stars, va_list& arguments)
{
    if (conversion.length == "L")
        appendPrinted(out, conversion, stars, va_arg(arguments, long double));
    else
        appendPrinted(out, conversion, stars, va_arg(arguments, double));
}

void appendConversion(std::string& out, const Conversion& conversion, va_list& arguments)
{
    if (conversion.type == '%')
    {
        out += '%';
        return;
    }
    int stars[2] = {0, 0};
    for (int i = 0; i < conversion.starCount; ++i)
        stars[i] = va_arg(arguments, int);
    switch (conversion.type)
    {
    case '@':
        out += formatArgumentText(va_arg(arguments, CFTypeRef));
        break;
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
    case 'c':
        appendInteger(out, conversion, stars, arguments);
        break;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        appendReal(out, conversion, stars, arguments);
        break;
    case 's':
    {
        const char* text = va_arg(arguments, const char*);
        appendPrinted(out, conversion, stars, text != nullptr ? text : "(null)");
        break;
    }
    case 'p':
        appendPrinted(out, conversion, stars, va_arg(arguments, void*));
        break;
    case 'n':
        va_arg(arguments, int*); // never written through
        break;
    default:
        out += conversion.spec; // not a conversion: kept as written
        break;
    }
}

} // namespace

std::string formatText(std::string_view format, va_list arguments)
{
    va_list remaining;
    va_copy(remaining, arguments);
    std::string out;
    size_t position = 0;
    while (position < format.size())
    {
        const size_t percent = format.find('%', position);
        out.append(format.substr(position, percent - position));
        if (percent == std::string_view::npos)
            break;
        position = percent;
        appendConversion(out, readConversion(format, position), remaining);
    }
    va_end(remaining);
    return out;
}

} // namespace cf
