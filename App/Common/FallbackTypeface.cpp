#include "FallbackTypeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

namespace
{
// Collects a glyph outline into a juce::Path, scaled to a font height of 1 with y pointing down.
struct OutlineToPath
{
    juce::Path path;
    float scale;

    juce::Point<float> point(const FT_Vector* v) const { return {(float)v->x * scale, (float)-v->y * scale}; }

    static OutlineToPath& of(void* user) { return *static_cast<OutlineToPath*>(user); }

    static int moveTo(const FT_Vector* to, void* user)
    {
        auto& self = of(user);
        if (!self.path.isEmpty())
            self.path.closeSubPath();
        self.path.startNewSubPath(self.point(to));
        return 0;
    }

    static int lineTo(const FT_Vector* to, void* user)
    {
        of(user).path.lineTo(of(user).point(to));
        return 0;
    }

    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        of(user).path.quadraticTo(of(user).point(control), of(user).point(to));
        return 0;
    }

    static int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
    {
        auto& self = of(user);
        self.path.cubicTo(self.point(control1), self.point(control2), self.point(to));
        return 0;
    }
};

bool outlineToPath(FT_Outline& outline, float scale, juce::Path& path)
{
    static const FT_Outline_Funcs funcs{
        OutlineToPath::moveTo, OutlineToPath::lineTo, OutlineToPath::conicTo, OutlineToPath::cubicTo, 0, 0};
    OutlineToPath collector{{}, scale};
    if (FT_Outline_Decompose(&outline, &funcs, &collector) != 0)
        return false;
    if (!collector.path.isEmpty())
        collector.path.closeSubPath();
    path.swapWithPath(collector.path);
    return true;
}
// The face's line height and the part of it above the baseline, in font units.
struct LineMetrics
{
    float height;
    float ascent;
};

LineMetrics lineMetricsOf(FT_Face face, bool emFillsHeight)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (emFillsHeight && os2 != nullptr && os2->sTypoAscender - os2->sTypoDescender > 0)
    {
        const float em = face->units_per_EM;
        return {em, em * os2->sTypoAscender / (float)(os2->sTypoAscender - os2->sTypoDescender)};
    }
    return {(float)(face->ascender - face->descender), (float)face->ascender};
}
} // namespace

juce::Typeface::Ptr FallbackTypeface::create(const InstalledFace& installed)
{
    FT_Library library = nullptr;
    if (!installed.isValid() || FT_Init_FreeType(&library) != 0)
        return nullptr;

    FT_Face face = nullptr;
    if (FT_New_Face(library, installed.file.toRawUTF8(), installed.index, &face) != 0 ||
        !FT_IS_SCALABLE(face) || face->ascender - face->descender <= 0)
    {
        if (face != nullptr)
            FT_Done_Face(face);
        FT_Done_FreeType(library);
        return nullptr;
    }
    const auto metrics = lineMetricsOf(face, installed.emFillsHeight);
    return new FallbackTypeface(library, face, 1.0f / metrics.height, metrics.ascent / metrics.height);
}

FallbackTypeface::FallbackTypeface(FT_LibraryRec_* ftLibrary, FT_FaceRec_* ftFace, float unitsToFontHeight,
                                   float ascentOfHeight)
    : library(ftLibrary), face(ftFace), unitsToHeight(unitsToFontHeight)
{
    const juce::String family = juce::String::fromUTF8(face->family_name != nullptr ? face->family_name : "");
    const juce::String style = juce::String::fromUTF8(face->style_name != nullptr ? face->style_name : "");
    setCharacteristics(family, style, ascentOfHeight, L' ');
}

FallbackTypeface::~FallbackTypeface()
{
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

bool FallbackTypeface::hasGlyph(juce::juce_wchar character) const
{
    return FT_Get_Char_Index(face, (FT_ULong)character) != 0;
}

bool FallbackTypeface::loadGlyphIfPossible(juce::juce_wchar character)
{
    const auto glyphIndex = FT_Get_Char_Index(face, (FT_ULong)character);
    if (glyphIndex == 0)
        return false;

    constexpr FT_Int32 unscaledOutline = FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM;
    if (FT_Load_Glyph(face, glyphIndex, unscaledOutline) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;

    juce::Path shape;
    if (!outlineToPath(face->glyph->outline, unitsToHeight, shape))
        return false;

    addGlyph(character, shape, (float)face->glyph->metrics.horiAdvance * unitsToHeight);
    addKerningWithLoadedGlyphs(character, glyphIndex);
    return true;
}

// Kerning pairs can only join glyphs that are already there, so each new glyph is paired with
// itself and with every glyph loaded before it, in both orders.
void FallbackTypeface::addKerningWithLoadedGlyphs(juce::juce_wchar character, unsigned glyphIndex)
{
    if (!FT_HAS_KERNING(face))
        return;

    const auto kerning = [this](unsigned left, unsigned right)
    {
        FT_Vector delta{};
        FT_Get_Kerning(face, left, right, FT_KERNING_UNSCALED, &delta);
        return (float)delta.x * unitsToHeight;
    };
    loadedGlyphs.emplace_back(character, glyphIndex);
    for (const auto& [other, otherIndex] : loadedGlyphs)
    {
        if (const float after = kerning(glyphIndex, otherIndex); after != 0.0f)
            addKerningPair(character, other, after);
        if (const float before = kerning(otherIndex, glyphIndex); other != character && before != 0.0f)
            addKerningPair(other, character, before);
    }
}
