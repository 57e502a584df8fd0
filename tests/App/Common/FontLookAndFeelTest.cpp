#include "FallbackTypeface.h"
#include "FontFixture.h"
#include "GlyphCoverage.h"
#include "LanguageFonts.h"

using FontLookAndFeelTest = FontFixture;

TEST_F (FontLookAndFeelTest, Placeholder)
{
    juce::Font font ("Heiti SC", 14.0f, juce::Font::plain);
    juce::Font::setFallbackFontName ("Heiti SC");
    EXPECT_EQ (charactersWithoutGlyph (font, juce::String::fromUTF8 ("简体中文")), "");
}
