#include "FontLookAndFeel.h"

#include "FallbackTypeface.h"

void FontLookAndFeel::installAsDefault()
{
    juce::LookAndFeel::setDefaultLookAndFeel(this);
    juce::Typeface::clearTypefaceCache();
}

juce::Typeface::Ptr FontLookAndFeel::getTypefaceForFont(const juce::Font& font)
{
    const juce::ScopedLock scope(lock);

    const auto key = std::make_pair(font.getTypefaceName(), font.getTypefaceStyle());
    auto known = facesByName.find(key);
    if (known == facesByName.end())
        known = facesByName.emplace(key, findInstalledFace(key.first, key.second)).first;

    if (auto typeface = typefaceFor(known->second))
        return typeface;
    return juce::LookAndFeel_V2::getTypefaceForFont(font);
}

// Names that resolve to the same face share one typeface and its loaded glyphs.
juce::Typeface::Ptr FontLookAndFeel::typefaceFor(const InstalledFace& face)
{
    auto known = typefaces.find(face);
    if (known == typefaces.end())
        known = typefaces.emplace(face, FallbackTypeface::create(face)).first;
    return known->second;
}
