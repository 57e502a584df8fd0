#include "FontResolver.h"
#include "FallbackTypeface.h"
#include "FreshProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace
{
bool differ(const InstalledFace& a, const InstalledFace& b)
{
    return a < b || b < a;
}

// Where a run of a test in a fresh process writes what it found.
constexpr char facesFile[] = "FONT_TEST_FACES_FILE";

// The faces that the program's names and JUCE's placeholders find, regular and bold, one per line.
juce::String facesFound()
{
    juce::String lines;
    for (const auto& name :
         {juce::Font::getDefaultSansSerifFontName(), juce::Font::getDefaultSerifFontName(),
          juce::Font::getDefaultMonospacedFontName(), juce::String("Arial"), juce::String("Helvetica Neue"),
          juce::String("Heiti SC"), juce::String("Heiti TC"), juce::String("AppleGothic Regular"),
          juce::String("Hiragino Maru Gothic Pro W4")})
        for (const auto* style : {"Regular", "Bold"})
        {
            const auto face = findInstalledFace(name, style);
            lines << name << " " << style << ": " << face.file << " #" << face.index
                  << (face.emFillsHeight ? " em" : "") << "\n";
        }
    return lines;
}

// Sets environment variables (or removes those given no value) until it goes.
class ScopedEnvironment
{
public:
    explicit ScopedEnvironment(const std::vector<std::pair<const char*, const char*>>& variables)
    {
        for (const auto& [name, value] : variables)
        {
            const char* before = std::getenv(name);
            saved.emplace_back(name, before != nullptr ? std::optional<std::string>(before) : std::nullopt);
            value != nullptr ? setenv(name, value, 1) : unsetenv(name);
        }
    }

    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved)
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};

// What the current test, run in a fresh process under the C locale but for one setting, found:
// fontconfig reads the locale once per process.
juce::String facesFoundWith(const char* variable, const char* value)
{
    const juce::TemporaryFile found;
    const ScopedEnvironment environment({{"LANG", "C.UTF-8"},
                                         {"LC_ALL", nullptr},
                                         {"LC_CTYPE", nullptr},
                                         {"FC_LANG", nullptr},
                                         {variable, value},
                                         {facesFile, found.getFile().getFullPathName().toRawUTF8()}});
    EXPECT_TRUE(testsupport::fresh::passesAlone(testsupport::fresh::currentTestName()))
        << variable << "=" << value;
    return found.getFile().loadFileAsString();
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

TEST(FontResolver, EveryLocaleFindsTheFacesOfTheCLocale)
{
    if (const char* file = std::getenv(facesFile))
    {
        ASSERT_TRUE(juce::File(file).replaceWithText(facesFound()));
        return;
    }
    // The default face has no Han characters: each language's own face draws them.
    const auto defaultFace = FallbackTypeface::create(
        findInstalledFace(juce::Font::getDefaultSansSerifFontName(), juce::Font::getDefaultStyle()));
    ASSERT_NE(defaultFace, nullptr);
    EXPECT_FALSE(dynamic_cast<FallbackTypeface&>(*defaultFace).hasGlyph(0x65e5)); // 日

    const auto underC = facesFoundWith("LANG", "C.UTF-8");
    ASSERT_TRUE(underC.contains("Heiti TC Regular: /")) << underC;
    const std::pair<const char*, const char*> locales[] = {
        {"LANG", "zh_CN.UTF-8"}, {"LANG", "zh_TW.UTF-8"},   {"LANG", "ja_JP.UTF-8"},
        {"LANG", "ko_KR.UTF-8"}, {"LC_ALL", "zh_TW.UTF-8"}, {"LC_CTYPE", "ja_JP.UTF-8"},
        {"FC_LANG", "zh-cn"}};
    for (const auto& [variable, value] : locales)
        EXPECT_EQ(facesFoundWith(variable, value), underC) << variable << "=" << value;
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
