#include "TxtLoader.h"

#include <CoreFoundation/CoreFoundation.h>

namespace
{

// Identifiers fit in 15 ASCII characters; a longer one fails to convert and is skipped.
constexpr CFIndex IdentifierBufferSize = 16;

// The canonical locale identifier of a preferred language, or false when it has none that fits.
bool canonicalIdentifier(CFTypeRef language, char* buffer)
{
    if (language == nullptr || CFGetTypeID(language) != CFStringGetTypeID())
        return false;
    CFStringRef identifier = CFLocaleCreateCanonicalLocaleIdentifierFromString(
        kCFAllocatorDefault, static_cast<CFStringRef>(language));
    if (identifier == nullptr)
        return false;
    const bool converted =
        CFStringGetCString(identifier, buffer, IdentifierBufferSize, kCFStringEncodingASCII);
    CFRelease(identifier);
    return converted;
}

// The first language whose code the identifier starts with, or LangCount for none.
unsigned int languageOf(const char* identifier)
{
    const juce::String name(identifier);
    for (unsigned int i = 0; i < LangCount; ++i)
        if (name.startsWithIgnoreCase(plangList[i].code))
            return i;
    return LangCount;
}

} // namespace

unsigned int TxtLoader::chkLocale()
{
    for (bool& offered : m_isLocale)
        offered = true;

    CFPropertyListRef preferred =
        CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
    if (preferred == nullptr)
        return 0;
    unsigned int result = 0;
    if (CFGetTypeID(preferred) == CFArrayGetTypeID())
    {
        const auto languages = static_cast<CFArrayRef>(preferred);
        char buffer[IdentifierBufferSize] = {};
        for (CFIndex i = 0; i < CFArrayGetCount(languages); ++i)
        {
            if (!canonicalIdentifier(CFArrayGetValueAtIndex(languages, i), buffer))
                continue;
            const unsigned int lang = languageOf(buffer);
            if (lang < LangCount)
            {
                result = lang;
                break;
            }
        }
    }
    CFRelease(preferred);
    return result;
}
