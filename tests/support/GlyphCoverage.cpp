#include "GlyphCoverage.h"

#include "FallbackTypeface.h"
#include "FontLookAndFeel.h"

namespace
{
bool programLooksAfterFonts()
{
    return dynamic_cast<FontLookAndFeel*>(&juce::LookAndFeel::getDefaultLookAndFeel()) != nullptr;
}

// The typeface that CustomTypeface takes a missing character from.
juce::Typeface::Ptr fallbackTypeface()
{
    return juce::Font(juce::Font::getFallbackFontName(), juce::Font::getFallbackFontStyle(), 10.0f)
        .getTypefacePtr();
}

bool isProgramTypeface(const juce::Typeface::Ptr& typeface)
{
    return dynamic_cast<FallbackTypeface*>(typeface.get()) != nullptr;
}

// Asks the typeface the way JUCE does when it draws: the glyph number, then its outline, either of
// which may come from the fallback typeface.
bool drawsVisibly(juce::Typeface& typeface, juce::juce_wchar character)
{
    juce::Array<int> glyphNumbers;
    juce::Array<float> offsets;
    typeface.getGlyphPositions(juce::String::charToString(character), glyphNumbers, offsets);
    if (glyphNumbers.isEmpty() || glyphNumbers.getFirst() == 0)
        return false;

    juce::Path outline;
    return typeface.getOutlineForGlyph(glyphNumbers.getFirst(), outline) &&
           (!outline.isEmpty() || juce::CharacterFunctions::isWhitespace(character));
}
} // namespace

juce::String charactersWithoutGlyph(const juce::Font& font, const juce::String& text)
{
    const auto typeface = font.getTypefacePtr();
    const bool trustworthy =
        programLooksAfterFonts() && isProgramTypeface(typeface) && isProgramTypeface(fallbackTypeface());
    juce::String missing;
    for (auto c = text.getCharPointer(); !c.isEmpty();)
    {
        const auto character = c.getAndAdvance();
        if (character >= 0x20 && !(trustworthy && drawsVisibly(*typeface, character)))
            missing += juce::String::charToString(character);
    }
    return missing;
}

juce::String charactersWithoutGlyph(const juce::GlyphArrangement& glyphs)
{
    const bool trustworthy = programLooksAfterFonts();
    juce::String missing;
    for (const auto& glyph : glyphs)
    {
        if (glyph.getCharacter() < 0x20 || (trustworthy && glyph.isWhitespace()))
            continue;
        juce::Path outline;
        glyph.createPath(outline);
        if (!trustworthy || outline.isEmpty())
            missing += juce::String::charToString(glyph.getCharacter());
    }
    return missing;
}
