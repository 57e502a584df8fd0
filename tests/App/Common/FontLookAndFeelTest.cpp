#include "FontFixture.h"
#include "GlyphCoverage.h"
#include "PixelProbe.h"

namespace
{
const juce::String japaneseFont = "Hiragino Maru Gothic Pro W4";

// Draws through an arrangement of its own, as the pages do: Graphics::drawSingleLineText would keep
// the arrangement it made for the same font and text, whatever the fallback font is by then.
juce::Rectangle<int> inkOfText(const juce::Font& font, const juce::String& text)
{
    auto image = blankImage(400, 60, juce::Colours::white);
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText(font, text, 10.0f, 40.0f);
    juce::Graphics g(image);
    g.setColour(juce::Colours::black);
    glyphs.draw(g);
    return boundsOfPixels(image, isDark);
}

juce::String outlineOf(const juce::Font& font, juce::juce_wchar character)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    font.getGlyphPositions(juce::String::charToString(character), glyphs, offsets);
    juce::Path outline;
    font.getTypefacePtr()->getOutlineForGlyph(glyphs.getFirst(), outline);
    return outline.toString();
}
} // namespace

using FontLookAndFeelTest = FontFixture;

TEST_F(FontLookAndFeelTest, CharacterMissingFromTheFontIsDrawnFromTheFallbackFont)
{
    const juce::Font arial("Arial", 24.0f, juce::Font::plain);
    const auto text = juce::String::fromUTF8("日本語");

    juce::Font::setFallbackFontName(japaneseFont);
    EXPECT_EQ(charactersWithoutGlyph(arial, text), "");
    const auto fromFallback = inkOfText(arial, text);
    const auto fromOwnFont = inkOfText(juce::Font(japaneseFont, 24.0f, juce::Font::plain), text);
    EXPECT_NEAR(fromFallback.getWidth(), fromOwnFont.getWidth(), 1);
    EXPECT_NEAR(fromFallback.getHeight(), fromOwnFont.getHeight(), 1);
    EXPECT_NEAR(arial.getStringWidthFloat(text), 3 * 24.0f, 0.1f);

    // Without a fallback that has them, nothing is drawn for them: no boxes.
    juce::Font::setFallbackFontName("Arial");
    EXPECT_EQ(charactersWithoutGlyph(arial, text), text);
    EXPECT_TRUE(inkOfText(arial, text).isEmpty());
}

TEST_F(FontLookAndFeelTest, FallbackIsTheFontNamedWhenTheCharacterIsDrawn)
{
    const juce::Font arial("Arial", 14.0f, juce::Font::plain);
    const juce::juce_wchar straight = 0x76f4; // 直, written differently in China and Japan

    juce::Font::setFallbackFontName("Heiti SC");
    const auto chinese = outlineOf(arial, straight);
    juce::Font::setFallbackFontName(japaneseFont);
    const auto japanese = outlineOf(arial, straight);

    EXPECT_EQ(chinese, outlineOf(juce::Font("Heiti SC", 14.0f, juce::Font::plain), straight));
    EXPECT_EQ(japanese, outlineOf(juce::Font(japaneseFont, 14.0f, juce::Font::plain), straight));
    EXPECT_NE(chinese, japanese);
}

TEST_F(FontLookAndFeelTest, CharacterThatNoFontHasTakesNoRoomAndDrawsNothing)
{
    const juce::Font arial("Arial", 20.0f, juce::Font::plain);
    const auto unassigned = juce::String::charToString(0x0378);

    for (const auto* fallback : {"Heiti SC", "Arial", "", "No Such Typeface"})
    {
        juce::Font::setFallbackFontName(fallback);
        EXPECT_EQ(charactersWithoutGlyph(arial, unassigned), unassigned) << fallback;
        EXPECT_FLOAT_EQ(arial.getStringWidthFloat("A" + unassigned + "B"), arial.getStringWidthFloat("AB"));
        EXPECT_TRUE(inkOfText(arial, unassigned).isEmpty()) << fallback;
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText(arial, "A" + unassigned + "B", 0.0f, 20.0f);
        EXPECT_EQ(charactersWithoutGlyph(glyphs), unassigned) << fallback;
    }
}

TEST_F(FontLookAndFeelTest, BoldFontsGetBoldFacesAndPlainFontsDoNot)
{
    for (const auto* name : {"Arial", "Helvetica Neue", "Heiti SC", "Heiti TC", "AppleGothic Regular",
                             "Hiragino Maru Gothic Pro W4", "<Sans-Serif>"})
    {
        const auto bold = juce::Font(name, 13.0f, juce::Font::bold).getTypefacePtr();
        const auto plain = juce::Font(name, 13.0f, juce::Font::plain).getTypefacePtr();
        EXPECT_TRUE(bold->getStyle().containsIgnoreCase("Bold")) << name << " " << bold->getStyle();
        EXPECT_FALSE(plain->getStyle().containsIgnoreCase("Bold")) << name << " " << plain->getStyle();
    }
    EXPECT_GT(inkOfText(juce::Font("Arial", 24.0f, juce::Font::bold), "Start").getWidth(),
              inkOfText(juce::Font("Arial", 24.0f, juce::Font::plain), "Start").getWidth());
}

TEST_F(FontLookAndFeelTest, NamesThatFindTheSameFaceShareOneTypeface)
{
    const auto arial = juce::Font("Arial", 13.0f, juce::Font::plain).getTypefacePtr();
    EXPECT_EQ(arial, juce::Font("Helvetica Neue", 20.0f, juce::Font::plain).getTypefacePtr());
    EXPECT_EQ(arial, programLook().getTypefaceForFont(juce::Font("Arial", 9.0f, juce::Font::plain)));
    EXPECT_NE(arial, juce::Font("Arial", 13.0f, juce::Font::bold).getTypefacePtr());
}

TEST_F(FontLookAndFeelTest, CoverageCheckCountsEveryCharacterMissingUnderJucesOwnLook)
{
    const juce::Font arial("Arial", 13.0f, juce::Font::plain);
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    juce::Typeface::clearTypefaceCache();
    const auto missing = charactersWithoutGlyph(arial, "Abc");
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText(arial, "Abc", 0.0f, 20.0f);
    const auto missingInArrangement = charactersWithoutGlyph(glyphs);
    programLook().installAsDefault();

    EXPECT_EQ(missing, juce::String("Abc"));
    EXPECT_EQ(missingInArrangement, juce::String("Abc"));
}
