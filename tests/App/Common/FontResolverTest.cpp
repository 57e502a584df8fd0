#include "FontResolver.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
bool differ(const InstalledFace& a, const InstalledFace& b)
{
    return a < b || b < a;
}
} // namespace

TEST(FontResolver, ChineseKoreanAndJapaneseNamesEachFindTheFaceOfTheirLanguage)
{
    // Han characters differ in shape between these languages, so each must have a face of its own.
    std::set<InstalledFace> faces;
    for (const auto* name : {"Heiti SC", "Heiti TC", "AppleGothic Regular", "Hiragino Maru Gothic Pro W4"})
        faces.insert(findInstalledFace(name, "Regular"));
    EXPECT_EQ(faces.size(), 4u);
    for (const auto& face : faces)
        EXPECT_TRUE(face.emFillsHeight) << face.file;

    EXPECT_EQ(languageServedBy("heiti tc"), "zh-tw");
    EXPECT_EQ(languageServedBy("Arial"), "");
    EXPECT_FALSE(findInstalledFace("Arial", "Regular").emFillsHeight);
}

// Bold faces: FontLookAndFeelTest.BoldFontsGetBoldFacesAndPlainFontsDoNot.
TEST(FontResolver, ItalicStylesFindOtherFacesOfTheFamily)
{
    EXPECT_TRUE(findInstalledFace("Arial", "Italic").file.containsIgnoreCase("Italic"));
    EXPECT_TRUE(findInstalledFace("Arial", "Bold Italic").file.containsIgnoreCase("BoldItalic"));
}

TEST(FontResolver, PlaceholderUnknownAndEmptyNamesStillFindAFace)
{
    const auto sans =
        findInstalledFace(juce::Font::getDefaultSansSerifFontName(), juce::Font::getDefaultStyle());
    const auto serif = findInstalledFace(juce::Font::getDefaultSerifFontName(), "");
    const auto mono = findInstalledFace(juce::Font::getDefaultMonospacedFontName(), "");
    for (const auto& face : {sans, serif, mono})
        EXPECT_TRUE(face.isValid());
    EXPECT_TRUE(differ(sans, serif));
    EXPECT_TRUE(differ(sans, mono));

    EXPECT_TRUE(findInstalledFace("No Such Typeface Anywhere", "Regular").isValid());
    EXPECT_TRUE(findInstalledFace("", "").isValid());
}
