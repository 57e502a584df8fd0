#include "Binary.h"
#include "Table.h"
#include "TxtLoader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace
{

const char* const Unset = "\x01unset";

// One more entry than asked for, to see that nothing lies beyond.
std::vector<std::string> parse(const char** pointer, const int* length, FlgTable flag, int count)
{
    std::vector<juce::String> dest(static_cast<size_t>(count + 1), Unset);
    TxtLoader::Load(pointer, length, flag, dest.data(), count + 1);
    std::vector<std::string> out;
    for (const juce::String& s : dest)
        out.push_back(s.toStdString());
    return out;
}

// Each printf directive in s, written out: "%s", "%02d", "% s".
std::vector<std::string> conversions(const std::string& s)
{
    std::vector<std::string> found;
    for (size_t i = s.find('%'); i != std::string::npos; i = s.find('%', i + 1))
    {
        const size_t end = s.find_first_not_of("-+ #0123456789.hlL", i + 1);
        found.push_back(s.substr(i, end == std::string::npos ? end : end + 1 - i));
    }
    return found;
}

// Which "%s" in s stand inside square brackets, in order.
std::vector<bool> bracketed(const std::string& s)
{
    std::vector<bool> found;
    for (size_t i = s.find("%s"); i != std::string::npos; i = s.find("%s", i + 2))
        found.push_back(i > 0 && s[i - 1] == '[' && s.compare(i + 2, 1, "]") == 0);
    return found;
}

std::string withoutLineBreak(std::string s, const char* instead)
{
    const size_t at = s.find('\n');
    return at == std::string::npos ? s : s.replace(at, 1, instead);
}

TEST(ShippedTexts, EnglishIsTheFixedTable)
{
    const std::vector<std::string> english = {
        "",
        "TRV",
        "TRV-Q8",
        "Updater Program",
        "OK",
        "Start",
        "Cancel",
        "Close",
        "Language Selections",
        "Please select a language.",
        "There is an error in the update file.",
        "Your %s is not connected.",
        "Updates the version of your %s firmware.",
        "Current Version: Ver. %d.%02d",
        "Update Version : Ver. %d.%02d",
        "Updating your %s firmware.",
        "Please wait for a few moments until the update process is complete.",
        "The update of your version of the %s firmware is now complete.",
        "An error has occurred.",
        "It was not possible to update the program.",
        "Your %s is not recognized.",
        "1. Connect your %s and your computer using a USB cable.",
        "2. Start your %s in update mode by pressing the power button while pressing the [%s] button and the "
        "[%s] button.",
        "3. Restart this program.",
        "Start your %s in update mode by pressing the power button while pressing the [%s] button and the "
        "[%s] "
        "button.",
        Unset};
    EXPECT_EQ(parse(textList[0].data, textList[0].length, FLG_STR, StringCount), english);
}

TEST(ShippedTexts, EveryLanguageHas25StringsInTheFormOfTheEnglishOnes)
{
    const std::set<std::string> lineBreaks = {"de 21",      "de 22",      "it 21", "ru 21",
                                              "zh-Hans 22", "zh-Hant 22", "ja 22", "ja 24"};
    const std::set<std::string> asian = {"zh-Hans", "zh-Hant", "ko", "ja"};
    const auto english = parse(textList[0].data, textList[0].length, FLG_STR, StringCount);
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        const std::string code = langList[lang].code.toStdString();
        const auto s = parse(textList[lang].data, textList[lang].length, FLG_STR, StringCount);
        ASSERT_EQ(s[StringCount], Unset) << code << " has more than 25 strings";
        for (size_t id = 0; id < StringCount; ++id)
        {
            const std::string where = code + " " + std::to_string(id);
            std::vector<std::string> expected = conversions(english[id]);
            if (where == "pt 17" || where == "ko 17")
                expected = {};
            if (where == "pt 15")
                expected = {"% s"};
            EXPECT_EQ(conversions(s[id]), expected) << where << ": " << s[id];
            EXPECT_EQ(std::count(s[id].begin(), s[id].end(), '\n'), lineBreaks.count(where)) << where;
            EXPECT_EQ(s[id].find_first_of("\r\t\"\\\x01"), std::string::npos) << where;
        }
        for (size_t id = 0; id <= STR_MODEL; ++id)
            EXPECT_EQ(s[id], english[id]) << code;
        EXPECT_NE(s[STR_CUR_VERSION].find("%d.%02d"), std::string::npos) << code;
        const std::vector<bool> order =
            asian.count(code) ? std::vector<bool>{true, true, false} : std::vector<bool>{false, true, true};
        EXPECT_EQ(bracketed(s[STR_STEP2]), order) << code;
        EXPECT_EQ(s[STR_STEP1].substr(0, 3) + s[STR_STEP2].substr(0, 3) + s[STR_STEP3].substr(0, 3),
                  "1. 2. 3. ");
        const std::string step = s[STR_STEP2].substr(3);
        const std::string& howTo = s[STR_HOW_TO_START];
        EXPECT_TRUE(howTo == step || howTo == withoutLineBreak(step, " ") ||
                    howTo == withoutLineBreak(step, ""))
            << code << ": " << howTo;
    }
}

TEST(ShippedTexts, LanguageFileGivesThisPlatformsFontsAndTheDisplayNames)
{
    EXPECT_EQ(parse(&language_txt_pointer, &language_txt_length, FLG_FONT_MAC, LangCount),
              (std::vector<std::string>{"Arial", "Arial", "Arial", "Arial", "Arial", "Arial",
                                        "Helvetica Neue", "Arial", "Heiti SC", "Heiti TC",
                                        "AppleGothic Regular", "Hiragino Maru Gothic Pro W4", Unset}));
    EXPECT_EQ(parse(&language_txt_pointer, &language_txt_length, FLG_LANG, LangCount),
              (std::vector<std::string>{"English", "Français", "Deutsch", "Español", "Italiano", "Nederlands",
                                        "Русский", "Português", "简体中文", "繁體中文", "한국어", "日本語",
                                        Unset}));
}

} // namespace
