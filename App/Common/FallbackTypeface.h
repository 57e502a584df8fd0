#pragma once

#include "FontResolver.h"

#include <juce_graphics/juce_graphics.h>

#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// A typeface read with FreeType from one installed face, glyph by glyph as text needs them.
// A character that the face has no glyph for is not drawn as the face's missing-glyph box:
// JUCE's CustomTypeface then takes it from Typeface::getFallbackTypeface(), the typeface named by
// juce::Font::setFallbackFontName. Glyph numbers are the characters themselves.
class FallbackTypeface : public juce::CustomTypeface
{
public:
    // Loads the face; gives null when FreeType cannot read it.
    static juce::Typeface::Ptr create(const InstalledFace& face);

    ~FallbackTypeface() override;

    // Whether the face itself (not its fallback) has a glyph for the character.
    bool hasGlyph(juce::juce_wchar character) const;

protected:
    bool loadGlyphIfPossible(juce::juce_wchar character) override;

private:
    FallbackTypeface(FT_LibraryRec_* library, FT_FaceRec_* face, float unitsToFontHeight,
                     float ascentOfHeight);

    void addKerningWithLoadedGlyphs(juce::juce_wchar character, unsigned glyphIndex);

    FT_LibraryRec_* library;
    FT_FaceRec_* face;
    float unitsToHeight;
    std::vector<std::pair<juce::juce_wchar, unsigned>> loadedGlyphs;
};
