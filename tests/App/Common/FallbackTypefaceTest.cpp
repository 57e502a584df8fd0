#include "FallbackTypeface.h"

#include <gtest/gtest.h>

namespace
{
FallbackTypeface& asFace(const juce::Typeface::Ptr& typeface)
{
    auto* face = dynamic_cast<FallbackTypeface*>(typeface.get());
    if (face == nullptr)
        throw std::runtime_error("no typeface");
    return *face;
}

juce::Rectangle<float> outlineBounds(juce::Typeface& typeface, juce::juce_wchar character)
{
    juce::Path outline;
    typeface.getOutlineForGlyph((int)character, outline);
    return outline.getBounds();
}
} // namespace

TEST(FallbackTypeface, RefusesWhatIsNoReadableFace)
{
    const juce::TemporaryFile notAFont;
    ASSERT_TRUE(notAFont.getFile().replaceWithText("not a font at all"));
    const auto collection = findInstalledFace("Heiti SC", "Regular");

    EXPECT_EQ(FallbackTypeface::create({}), nullptr);
    EXPECT_EQ(FallbackTypeface::create({"/nonexistent/font.ttf", 0}), nullptr);
    EXPECT_EQ(FallbackTypeface::create({notAFont.getFile().getFullPathName(), 0}), nullptr);
    EXPECT_EQ(FallbackTypeface::create({collection.file, 99}), nullptr);
    EXPECT_EQ(FallbackTypeface::create({collection.file, -1}), nullptr);
}

TEST(FallbackTypeface, ScalesGlyphsToAFontHeightOfOneKernsAndTellsWhichCharactersItHas)
{
    const auto typeface = FallbackTypeface::create(findInstalledFace("Arial", "Regular"));
    auto& face = asFace(typeface);

    EXPECT_GT(face.getAscent(), 0.5f);
    EXPECT_LT(face.getAscent(), 1.0f);
    EXPECT_FLOAT_EQ(face.getAscent() + face.getDescent(), 1.0f);
    const auto capital = outlineBounds(face, 'H');
    EXPECT_LT(capital.getY(), -0.5f);
    EXPECT_NEAR(capital.getBottom(), 0.0f, 0.01f);
    EXPECT_LE(-capital.getY(), face.getAscent());
    EXPECT_GT(face.getStringWidth("H"), capital.getWidth());
    EXPECT_GT(face.getStringWidth(" "), 0.0f);
    EXPECT_TRUE(outlineBounds(face, ' ').isEmpty());

    // Loaded in either order, a kerned pair is narrower than its two glyphs apart.
    const float a = face.getStringWidth("A");
    const float v = face.getStringWidth("V");
    EXPECT_LT(face.getStringWidth("AV"), a + v);
    EXPECT_LT(face.getStringWidth("VA"), a + v);
    EXPECT_FLOAT_EQ(face.getStringWidth("AA"), 2 * a);

    for (const int c : {0x41, 0x00e7, 0x0416}) // A ç Ж
        EXPECT_TRUE(face.hasGlyph(c)) << c;
    for (const int c : {0x65e5, 0xd55c, 0x0378}) // 日 한, unassigned
        EXPECT_FALSE(face.hasGlyph(c)) << c;
}

TEST(FallbackTypeface, ReadsTheFaceAtItsIndexInACollection)
{
    const auto simplified = findInstalledFace("Heiti SC", "Regular");
    const auto japanese = findInstalledFace("Hiragino Maru Gothic Pro W4", "Regular");
    ASSERT_EQ(simplified.file, japanese.file) << "the CJK faces are expected in one collection";
    ASSERT_NE(simplified.index, japanese.index);

    const auto simplifiedTypeface = FallbackTypeface::create(simplified);
    const auto japaneseTypeface = FallbackTypeface::create(japanese);
    auto& simplifiedFace = asFace(simplifiedTypeface);
    auto& japaneseFace = asFace(japaneseTypeface);
    EXPECT_NE(simplifiedFace.getName(), japaneseFace.getName());

    // 直 is written differently in Chinese and Japanese.
    juce::Path simplifiedShape, japaneseShape;
    simplifiedFace.getOutlineForGlyph(0x76f4, simplifiedShape);
    japaneseFace.getOutlineForGlyph(0x76f4, japaneseShape);
    EXPECT_FALSE(simplifiedShape.isEmpty());
    EXPECT_FALSE(japaneseShape.isEmpty());
    EXPECT_NE(simplifiedShape.toString(), japaneseShape.toString());
}

TEST(FallbackTypeface, StandInForAMacCjkFontFillsTheFontHeightWithItsEmSquare)
{
    auto face = findInstalledFace("Hiragino Maru Gothic Pro W4", "Regular");
    ASSERT_TRUE(face.emFillsHeight);
    const auto filling = FallbackTypeface::create(face);
    face.emFillsHeight = false;
    const auto ownLineHeight = FallbackTypeface::create(face);

    // A full-width character is one em wide.
    EXPECT_NEAR(asFace(filling).getStringWidth(juce::String::fromUTF8("日")), 1.0f, 0.001f);
    EXPECT_FLOAT_EQ(asFace(filling).getAscent() + asFace(filling).getDescent(), 1.0f);
    EXPECT_GT(asFace(filling).getAscent(), 0.7f);
    EXPECT_LT(asFace(ownLineHeight).getStringWidth(juce::String::fromUTF8("日")), 0.9f);
}
