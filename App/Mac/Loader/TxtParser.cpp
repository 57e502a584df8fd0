#include "TxtLoader.h"

#include <cstring>
#include <string>

namespace
{

// Each line and each decoded string fits in one of these, with its zero byte.
constexpr size_t LineBufferSize = 2048;

struct Line
{
    const char* begin;
    size_t size;
    const char* next;
};

// The first c at or after p, searched no further than the next zero byte.
const char* findInText(const char* p, char c)
{
    for (; *p != '\0'; ++p)
        if (*p == c)
            return p;
    return nullptr;
}

// A line ends at the later of the first CR and the first LF, so that CR LF, LF and CR files all
// read alike; when both are found, the byte before the later one (the CR of a pair) is dropped.
Line nextLine(const char* p)
{
    const char* cr = findInText(p, '\r');
    const char* lf = findInText(p, '\n');
    if (cr == nullptr && lf == nullptr)
    {
        const size_t size = std::strlen(p);
        return {p, size, p + size + 1};
    }
    if (cr != nullptr && lf != nullptr)
    {
        const char* end = cr > lf ? cr : lf;
        return {p, static_cast<size_t>(end - 1 - p), end + 1};
    }
    const char* end = cr != nullptr ? cr : lf;
    return {p, static_cast<size_t>(end - p), end + 1};
}

// Longer lines are cut, never overrun the buffer.
void copyLine(const Line& line, char* buffer)
{
    const size_t size = std::min(line.size, LineBufferSize - 1);
    std::memcpy(buffer, line.begin, size);
    buffer[size] = '\0';
}

bool isSkipped(char first)
{
    return first == '\0' || first == '\r' || first == '\n' || first == '#';
}

FlgTable sectionOf(const char* header)
{
    if (std::strstr(header, "FONT_MAC") != nullptr)
        return FLG_FONT_MAC;
    if (std::strstr(header, "LANG") != nullptr)
        return FLG_LANG;
    if (std::strstr(header, "STR") != nullptr)
        return FLG_STR;
    return FLG_NONE;
}

bool unescape(char c, char& out)
{
    switch (c)
    {
    case 'r':
        out = '\r';
        return true;
    case 'n':
        out = '\n';
        return true;
    case 't':
        out = '\t';
        return true;
    case '"':
    case '\\':
        out = c;
        return true;
    default:
        return false;
    }
}

// The length of the well-formed UTF-8 sequence at p, or 0 when it is malformed, overlong, a
// surrogate or beyond U+10FFFF.
int utf8SequenceLength(const unsigned char* p)
{
    const auto continues = [p](int k, unsigned char low = 0x80, unsigned char high = 0xBF)
    { return p[k] >= low && p[k] <= high; };
    if (p[0] < 0x80)
        return 1;
    if (p[0] >= 0xC2 && p[0] <= 0xDF)
        return continues(1) ? 2 : 0;
    if (p[0] >= 0xE0 && p[0] <= 0xEF)
    {
        const unsigned char low = p[0] == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = p[0] == 0xED ? 0x9F : 0xBF;
        return continues(1, low, high) && continues(2) ? 3 : 0;
    }
    if (p[0] >= 0xF0 && p[0] <= 0xF4)
    {
        const unsigned char low = p[0] == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = p[0] == 0xF4 ? 0x8F : 0xBF;
        return continues(1, low, high) && continues(2) && continues(3) ? 4 : 0;
    }
    return 0;
}

// The framework's string sizes its copy by decoding, so malformed UTF-8 would overrun it: each
// byte that starts no well-formed sequence becomes U+FFFD first.
juce::String fromUtf8(const char* text)
{
    std::string wellFormed;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0;)
    {
        const int length = utf8SequenceLength(p);
        if (length == 0)
            wellFormed += "\xEF\xBF\xBD";
        else
            wellFormed.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
        p += length == 0 ? 1 : length;
    }
    return juce::String::fromUTF8(wellFormed.c_str(), -1);
}

} // namespace

void TxtLoader::Load(const char** text, const int* length, FlgTable flag, juce::String* dest, int max)
{
    if (text == nullptr || *text == nullptr || length == nullptr || *length < 0)
        return;
    const char* p = *text;
    const char* end = p + *length;
    FlgTable section = FLG_NONE;
    int count = 0;
    char line[LineBufferSize];
    char decoded[LineBufferSize];

    // end itself is read too: it is the zero byte after the text.
    while (p <= end)
    {
        const Line next = nextLine(p);
        p = next.next;
        copyLine(next, line);
        if (isSkipped(line[0]))
            continue;
        if (line[0] == ':')
        {
            if (std::strstr(line, "EOF") != nullptr)
                return;
            section = sectionOf(line);
            continue;
        }
        if (section == flag && count < max)
        {
            Read(line, decoded);
            dest[count++] = fromUtf8(decoded);
        }
    }
}

void TxtLoader::Load(unsigned int lang, FlgTable flag, juce::String* dest, int max)
{
    if (lang >= LangCount)
        return;
    Load(ptextList[lang].data, ptextList[lang].length, flag, dest, max);
}

void TxtLoader::Read(char* line, char* out)
{
    const char* p = std::strchr(line, '"');
    if (p == nullptr)
    {
        *out = '\0';
        return;
    }
    for (++p; *p != '\0' && *p != '"'; ++p)
    {
        char escaped;
        if (*p == '\\' && unescape(p[1], escaped))
        {
            *out++ = escaped;
            ++p;
        }
        else
            *out++ = *p;
    }
    *out = '\0';
}
