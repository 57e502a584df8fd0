#include "FontResolver.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <memory>

namespace
{
// Mac typeface names that this system is not likely to have, with what to ask fontconfig for
// besides the name: a family to try after it, the language the font is there for, and whether the
// Mac font fills the font height with its em square.
// "Arial" needs no entry: fontconfig's own aliases give its metric-compatible stand-in.
struct MacFont
{
    const char* name;
    const char* standIn;
    const char* language;
    bool emFillsHeight;
};

constexpr MacFont macFonts[] = {
    {"Helvetica Neue", "Arial", nullptr, false},
    {"Heiti SC", nullptr, "zh-cn", true},
    {"Heiti TC", nullptr, "zh-tw", true},
    {"AppleGothic Regular", nullptr, "ko", true},
    {"Hiragino Maru Gothic Pro W4", nullptr, "ja", true},
};

const MacFont* findMacFont(const juce::String& typefaceName)
{
    for (const auto& font : macFonts)
        if (typefaceName.equalsIgnoreCase(font.name))
            return &font;
    return nullptr;
}

// JUCE's placeholder names and the empty name mean a generic family.
juce::String familyToAskFor(const juce::String& typefaceName)
{
    if (typefaceName.isEmpty() || typefaceName == juce::Font::getDefaultSansSerifFontName())
        return "sans-serif";
    if (typefaceName == juce::Font::getDefaultSerifFontName())
        return "serif";
    if (typefaceName == juce::Font::getDefaultMonospacedFontName())
        return "monospace";
    return typefaceName;
}

struct PatternDeleter
{
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

void addString(FcPattern* pattern, const char* object, const juce::String& value)
{
    FcPatternAddString(pattern, object, reinterpret_cast<const FcChar8*>(value.toRawUTF8()));
}

Pattern makePattern(const juce::String& typefaceName, const juce::String& typefaceStyle)
{
    Pattern pattern(FcPatternCreate());
    if (pattern == nullptr)
        return pattern;

    addString(pattern.get(), FC_FAMILY, familyToAskFor(typefaceName));
    if (const auto* macFont = findMacFont(typefaceName); macFont != nullptr && macFont->standIn != nullptr)
        addString(pattern.get(), FC_FAMILY, macFont->standIn);

    if (const auto language = languageServedBy(typefaceName); language.isNotEmpty())
        addString(pattern.get(), FC_LANG, language);

    const bool bold = typefaceStyle.containsIgnoreCase("Bold");
    const bool italic =
        typefaceStyle.containsIgnoreCase("Italic") || typefaceStyle.containsIgnoreCase("Oblique");
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    return pattern;
}

// fontconfig adds the language of the process's locale to every pattern, even to one that names its
// own, and its configuration then puts that language's faces first: under a Chinese locale the
// generic "sans-serif" and Traditional Chinese alike get the Simplified Chinese face. The face for
// a name must not depend on the locale, so fontconfig takes the language of the C locale for the
// process's own, before it first reads it.
void keepTheLocaleOutOfMatching()
{
    [[maybe_unused]] static const bool set = setenv("FC_LANG", "en", 1) == 0;
}

InstalledFace faceOf(const FcPattern* match)
{
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
        return {};

    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    return {juce::String::fromUTF8(reinterpret_cast<const char*>(file)), index, false};
}
} // namespace

juce::String languageServedBy(const juce::String& typefaceName)
{
    const auto* macFont = findMacFont(typefaceName);
    return macFont != nullptr && macFont->language != nullptr ? macFont->language : "";
}

InstalledFace findInstalledFace(const juce::String& typefaceName, const juce::String& typefaceStyle)
{
    keepTheLocaleOutOfMatching();
    const auto pattern = makePattern(typefaceName, typefaceStyle);
    if (pattern == nullptr || !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return {};
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (match == nullptr)
        return {};

    auto face = faceOf(match.get());
    const auto* macFont = findMacFont(typefaceName);
    face.emFillsHeight = face.isValid() && macFont != nullptr && macFont->emFillsHeight;
    return face;
}
