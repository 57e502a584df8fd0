#include "FallbackTypeface.h"
#include "FontFixture.h"
#include "GlyphCoverage.h"
#include "LanguageFonts.h"

namespace
{
const juce::String japaneseFont = "Hiragino Maru Gothic Pro W4";

juce::String utf8(const char* text)
{
    return juce::String::fromUTF8(text);
}

juce::Image whiteImage(int width, int height)
{
    juce::Image image(juce::Image::RGB, width, height, true);
    juce::Graphics(image).fillAll(juce::Colours::white);
    return image;
}

// Draws through an arrangement of its own, as the pages do: Graphics::drawSingleLineText would keep
// the arrangement it made for the same font and text, whatever the fallback font is by then.
void drawLine(juce::Image& image, const juce::Font& font, const juce::String& text, int x, int baseline)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText(font, text, (float)x, (float)baseline);
    juce::Graphics g(image);
    g.setColour(juce::Colours::black);
    glyphs.draw(g);
}

// The smallest box around the pixels that text darkened.
juce::Rectangle<int> inkBounds(const juce::Image& image, juce::Rectangle<int> area)
{
    juce::Rectangle<int> ink;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt(x, y).getBrightness() < 0.5f)
                ink = ink.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1) : ink.getUnion({x, y, 1, 1});
    return ink;
}

juce::Rectangle<int> inkOfText(const juce::Font& font, const juce::String& text)
{
    auto image = whiteImage(400, 60);
    drawLine(image, font, text, 10, 40);
    return inkBounds(image, image.getBounds());
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

TEST_F(FontLookAndFeelTest, EveryLanguageDrawsItsNameAndTextsInItsOwnFont)
{
    for (const auto& language : languageFonts)
    {
        juce::Font::setFallbackFontName(language.font);
        const auto text = utf8(language.name) + " " + utf8(language.sample);
        for (const int style : {juce::Font::plain, juce::Font::bold})
        {
            const juce::Font font(language.font, 13.0f, style);
            EXPECT_EQ(charactersWithoutGlyph(font, text), "") << language.font << " style " << style;

            juce::GlyphArrangement glyphs;
            glyphs.addFittedText(font, text, 0, 0, 400, 40, juce::Justification::topLeft, 3, 0.7f);
            EXPECT_GT(glyphs.getNumGlyphs(), 0);
            EXPECT_EQ(charactersWithoutGlyph(glyphs), "") << language.font << " style " << style;
        }
    }
}

TEST_F(FontLookAndFeelTest, LanguageMenuShowsEveryNameInItsOwnScriptWithThatLanguagesFallback)
{
    const auto menuFont = programLook().getPopupMenuFont();
    for (const auto& language : languageFonts)
    {
        juce::Font::setFallbackFontName(language.font);
        EXPECT_EQ(charactersWithoutGlyph(menuFont, utf8(language.name)), "") << language.name;
    }

    // With an English fallback the menu font alone cannot show the names in Chinese script.
    juce::Font::setFallbackFontName("Arial");
    EXPECT_EQ(charactersWithoutGlyph(menuFont, utf8("简体中文")), utf8("简体中文"));
}

TEST_F(FontLookAndFeelTest, CharacterMissingFromTheFontIsDrawnFromTheFallbackFont)
{
    const juce::Font arial("Arial", 24.0f, juce::Font::plain);
    const auto text = utf8("日本語");

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
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    juce::Typeface::clearTypefaceCache();
    const auto missing = charactersWithoutGlyph(juce::Font("Arial", 13.0f, juce::Font::plain), "Abc");
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText(juce::Font("Arial", 13.0f, juce::Font::plain), "Abc", 0, 20);
    const auto missingInArrangement = charactersWithoutGlyph(glyphs);
    programLook().installAsDefault();

    EXPECT_EQ(missing, "Abc");
    EXPECT_EQ(missingInArrangement, "Abc");
}

// Writes font-samples.png beside the test for a look at the scripts.
TEST_F(FontLookAndFeelTest, RendersEveryLanguageInItsScript)
{
    constexpr int rowHeight = 24;
    auto image = whiteImage(640, rowHeight * (2 * (int)languageFonts.size() + 1) + 8);
    int baseline = rowHeight - 4;
    const auto row = [&](const juce::Font& font, const juce::String& text)
    {
        drawLine(image, font, text, 6, baseline);
        EXPECT_FALSE(inkBounds(image, {0, baseline - rowHeight + 4, image.getWidth(), rowHeight}).isEmpty())
            << text;
        baseline += rowHeight;
    };

    for (const auto& language : languageFonts)
    {
        juce::Font::setFallbackFontName(language.font);
        row(programLook().getPopupMenuFont(), utf8(language.name) + "  (menu)");
        row(juce::Font(language.font, 15.0f, juce::Font::bold), utf8(language.sample));
    }
    juce::Font::setFallbackFontName(japaneseFont);
    row(juce::Font("Arial", 17.0f, juce::Font::plain),
        utf8("Arial with a Japanese fallback: 日本語 ひらがな"));

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile("font-samples.png");
    file.deleteFile();
    juce::FileOutputStream out(file);
    ASSERT_TRUE(out.openedOk());
    EXPECT_TRUE(juce::PNGImageFormat().writeImageToStream(image, out));
}
