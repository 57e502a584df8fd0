#include "Base64.h"

namespace cf::base64
{
namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::string encode(const uint8_t* bytes, size_t length)
{
    std::string text;
    text.reserve((length + 2) / 3 * 4);
    for (size_t i = 0; i < length; i += 3)
    {
        const size_t left = length - i;
        const uint32_t group =
            bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

std::optional<std::vector<uint8_t>> decode(std::string_view text)
{
    std::vector<uint8_t> bytes;
    uint32_t group = 0;
    int count = 0, padding = 0;
    for (char c : text)
    {
        if (isSpace(c))
            continue;
        if (c == '=')
        {
            ++padding;
            continue;
        }
        const int value = valueOf(c);
        if (value < 0 || padding > 0)
            return std::nullopt;
        group = group << 6 | value;
        if (++count == 4)
        {
            bytes.push_back(group >> 16 & 0xFF);
            bytes.push_back(group >> 8 & 0xFF);
            bytes.push_back(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    // A last group of two or three characters carries one or two bytes.
    if (count == 1 || padding > 2 || (padding > 0 && count + padding != 4))
        return std::nullopt;
    if (count == 2)
        bytes.push_back(group >> 4 & 0xFF);
    if (count == 3)
    {
        bytes.push_back(group >> 10 & 0xFF);
        bytes.push_back(group >> 2 & 0xFF);
    }
    return bytes;
}

} // namespace cf::base64
