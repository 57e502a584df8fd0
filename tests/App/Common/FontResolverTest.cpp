#include "FallbackTypeface.h"
#include "FontResolver.h"
#include "LanguageFonts.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
juce::String uncovered (const InstalledFace& face, const juce::String& text)
{
    const auto typeface = FallbackTypeface::create (face);
    const auto* faceTypeface = dynamic_cast<FallbackTypeface*> (typeface.get());
    if (faceTypeface == nullptr)
        return text;

    juce::String missing;
    for (auto c = text.getCharPointer(); ! c.isEmpty();)
        if (const auto character = c.getAndAdvance(); ! faceTypeface->hasGlyph (character))
            missing += juce::String::charToString (character);
    return missing;
}
} // namespace

TEST (FontResolver, EachLanguageFontFindsAFaceWithItsNameAndScript)
{
    for (const auto& language : languageFonts)
    {
        const auto text = juce::String::fromUTF8 (language.name) + " " + juce::String::fromUTF8 (language.sample);
        for (const auto* style : { "Regular", "Bold" })
        {
            const auto face = findInstalledFace (language.font, style);
            ASSERT_TRUE (face.isValid()) << language.font << " " << style;
            EXPECT_EQ (uncovered (face, text), "") << language.font << " " << style << " in " << face.file;
        }
    }
}

TEST (FontResolver, ChineseKoreanAndJapaneseNamesEachFindTheFaceOfTheirLanguage)
{
    // Han characters differ in shape between these languages, so each must have a face of its own.
    std::set<InstalledFace> faces;
    for (const auto* name : { "Heiti SC", "Heiti TC", "AppleGothic Regular", "Hiragino Maru Gothic Pro W4" })
        faces.insert (findInstalledFace (name, "Regular"));
    EXPECT_EQ (faces.size(), 4u);

    EXPECT_EQ (languageServedBy ("Heiti SC"), "zh-cn");
    EXPECT_EQ (languageServedBy ("heiti tc"), "zh-tw");
    EXPECT_EQ (languageServedBy ("Arial"), "");
}

TEST (FontResolver, BoldAndItalicStylesFindOtherFacesOfTheFamily)
{
    for (const auto* name : { "Arial", "Helvetica Neue", "Heiti SC", "Hiragino Maru Gothic Pro W4" })
    {
        const auto regular = findInstalledFace (name, "Regular");
        const auto bold = findInstalledFace (name, "Bold");
        EXPECT_TRUE (regular < bold || bold < regular) << name;
        EXPECT_TRUE (bold.file.containsIgnoreCase ("Bold")) << name << " " << bold.file;
    }
    const auto italic = findInstalledFace ("Arial", "Italic");
    const auto boldItalic = findInstalledFace ("Arial", "Bold Italic");
    EXPECT_TRUE (italic.file.containsIgnoreCase ("Italic")) << italic.file;
    EXPECT_TRUE (boldItalic.file.containsIgnoreCase ("BoldItalic")) << boldItalic.file;
}

TEST (FontResolver, PlaceholderUnknownAndEmptyNamesStillFindAFace)
{
    const auto sans = findInstalledFace (juce::Font::getDefaultSansSerifFontName(), juce::Font::getDefaultStyle());
    const auto serif = findInstalledFace (juce::Font::getDefaultSerifFontName(), "");
    const auto mono = findInstalledFace (juce::Font::getDefaultMonospacedFontName(), "");
    for (const auto& face : { sans, serif, mono })
        EXPECT_EQ (uncovered (face, "Sample 123"), "") << face.file;
    EXPECT_TRUE (sans < serif || serif < sans);
    EXPECT_TRUE (sans < mono || mono < sans);

    EXPECT_TRUE (findInstalledFace ("No Such Typeface Anywhere", "Regular").isValid());
    EXPECT_TRUE (findInstalledFace ("", "").isValid());
}
