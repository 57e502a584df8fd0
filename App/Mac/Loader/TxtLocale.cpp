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

// Whether the identifier begins with the whole code: "kok_IN" (Konkani) is not "ko" (Korean).
bool namesLanguage(const juce::String& identifier, const juce::String& code)
{
    if (!identifier.startsWithIgnoreCase(code))
        return false;
    const juce::juce_wchar next = identifier[code.length()];
    return next == 0 || juce::String("_-.@").containsChar(next);
}

// The first language whose code begins the identifier, or LangCount for none.
unsigned int languageOf(const char* identifier)
{
    const juce::String name(identifier);
    for (unsigned int i = 0; i < LangCount; ++i)
        if (namesLanguage(name, plangList[i].code))
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
