#include "Utf8.h"

namespace cf::utf8
{
namespace
{

// The number of bytes of the sequence that starts with this byte, or 0 when no sequence starts so.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The second byte's range depends on the lead byte: this rules out overlong forms, surrogates and
// values past U+10FFFF.
bool secondByteFits(unsigned char lead, unsigned char second)
{
    switch (lead)
    {
    case 0xE0:
        return second >= 0xA0 && second <= 0xBF;
    case 0xED:
        return second >= 0x80 && second <= 0x9F;
    case 0xF0:
        return second >= 0x90 && second <= 0xBF;
    case 0xF4:
        return second >= 0x80 && second <= 0x8F;
    default:
        return isContinuation(second);
    }
}

} // namespace

bool isValid(std::string_view text)
{
    for (size_t i = 0; i < text.size();)
    {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = sequenceLength(lead);
        if (length == 0 || i + length > text.size())
            return false;
        if (length > 1 && !secondByteFits(lead, static_cast<unsigned char>(text[i + 1])))
            return false;
        for (int k = 2; k < length; ++k)
            if (!isContinuation(static_cast<unsigned char>(text[i + k])))
                return false;
        i += length;
    }
    return true;
}

CFIndex utf16Length(std::string_view text)
{
    CFIndex length = 0;
    for (char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (!isContinuation(byte))
            ++length;
        if (byte >= 0xF0)
            ++length; // a four-byte sequence needs a surrogate pair
    }
    return length;
}

bool isAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace cf::utf8
