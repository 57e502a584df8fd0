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

std::vector<std::string> parse(const char* const* pointer, const int* length, FlgTable flag, int max)
{
    std::vector<juce::String> dest(static_cast<size_t>(max), Unset);
    TxtLoader::Load(const_cast<const char**>(pointer), length, flag, dest.data(), max);
    std::vector<std::string> out;
    for (const juce::String& s : dest)
        out.push_back(s.toStdString());
    return out;
}

std::vector<std::string> strings(unsigned int lang)
{
    return parse(textList[lang].data, textList[lang].length, FLG_STR, StringCount + 1);
}

std::string code(unsigned int lang)
{
    return langList[lang].code.toStdString();
}

// Each printf directive in s, written out: "%s", "%02d", "% s".
std::vector<std::string> conversions(const std::string& s)
{
    std::vector<std::string> found;
    for (size_t i = s.find('%'); i != std::string::npos; i = s.find('%', i))
    {
        const size_t end = s.find_first_not_of("-+ #0123456789.hlLqjzt", i + 1);
        if (end == std::string::npos)
            break;
        if (s[end] != '%')
            found.push_back(s.substr(i, end + 1 - i));
        i = end + 1;
    }
    return found;
}

std::vector<std::string> allowedConversions(const std::string& lang, int id, const std::string& english)
{
    if ((lang == "pt" || lang == "ko") && id == STR_COMPLETE)
        return {};
    if (lang == "pt" && id == STR_UPDATING)
        return {"% s"};
    return conversions(english);
}

// Which of the "%s" in s stand inside square brackets, in order.
std::vector<bool> bracketed(const std::string& s)
{
    std::vector<bool> found;
    for (size_t i = s.find("%s"); i != std::string::npos; i = s.find("%s", i + 2))
        found.push_back(i > 0 && s[i - 1] == '[' && i + 2 < s.size() && s[i + 2] == ']');
    return found;
}

bool asianOrder(const std::string& lang)
{
    return lang == "zh-Hans" || lang == "zh-Hant" || lang == "ko" || lang == "ja";
}

int lineBreaks(const std::string& lang, int id)
{
    static const std::set<std::pair<std::string, int>> at = {
        {"de", STR_STEP1},      {"de", STR_STEP2},      {"it", STR_STEP1}, {"ru", STR_STEP1},
        {"zh-Hans", STR_STEP2}, {"zh-Hant", STR_STEP2}, {"ja", STR_STEP2}, {"ja", STR_HOW_TO_START}};
    return at.count({lang, id}) ? 1 : 0;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

TEST(ShippedTexts, EnglishIsTheFixedTable)
{
    const std::vector<std::string> expected = {
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
    EXPECT_EQ(strings(0), expected);
}

TEST(ShippedTexts, EveryLanguageHas25StringsWithTheEnglishConversions)
{
    const std::vector<std::string> english = strings(0);
    for (unsigned int lang = 1; lang < LangCount; ++lang)
    {
        const std::vector<std::string> s = strings(lang);
        const std::string c = code(lang);
        ASSERT_EQ(s[StringCount], Unset) << c << " has more than 25 strings";
        for (int id = 0; id < static_cast<int>(StringCount); ++id)
        {
            EXPECT_NE(s[static_cast<size_t>(id)], Unset) << c << " lacks id " << id;
            EXPECT_EQ(conversions(s[static_cast<size_t>(id)]),
                      allowedConversions(c, id, english[static_cast<size_t>(id)]))
                << c << " id " << id << ": " << s[static_cast<size_t>(id)];
        }
        for (int id = 0; id <= STR_MODEL; ++id)
            EXPECT_EQ(s[static_cast<size_t>(id)], english[static_cast<size_t>(id)]) << c << " id " << id;
        EXPECT_NE(s[STR_CUR_VERSION].find("%d.%02d"), std::string::npos) << c;
        EXPECT_NE(s[STR_UPD_VERSION].find("%d.%02d"), std::string::npos) << c;
    }
}

TEST(ShippedTexts, KeyNamesStandInBracketsAfterTheModelOrBeforeItInAsianLanguages)
{
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        const std::vector<std::string> s = strings(lang);
        const std::vector<bool> expected = asianOrder(code(lang)) ? std::vector<bool>{true, true, false}
                                                                  : std::vector<bool>{false, true, true};
        EXPECT_EQ(bracketed(s[STR_STEP2]), expected) << code(lang);
        EXPECT_EQ(bracketed(s[STR_HOW_TO_START]), expected) << code(lang);
    }
}

TEST(ShippedTexts, StepsAreNumberedAndHowToStartIsStepTwoWithoutItsNumber)
{
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        const std::vector<std::string> s = strings(lang);
        EXPECT_EQ(s[STR_STEP1].rfind("1. ", 0), 0u) << code(lang);
        EXPECT_EQ(s[STR_STEP2].rfind("2. ", 0), 0u) << code(lang);
        EXPECT_EQ(s[STR_STEP3].rfind("3. ", 0), 0u) << code(lang);
        const std::string step = s[STR_STEP2].substr(3);
        const std::string& howTo = s[STR_HOW_TO_START];
        EXPECT_TRUE(howTo == step || howTo == replaceAll(step, "\n", " ") ||
                    howTo == replaceAll(step, "\n", ""))
            << code(lang) << ": " << howTo;
    }
}

TEST(ShippedTexts, LineBreaksStandOnlyWhereTheLayoutNeedsThemAndNoOtherEscapes)
{
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        const std::vector<std::string> s = strings(lang);
        for (int id = 0; id < static_cast<int>(StringCount); ++id)
        {
            const std::string& text = s[static_cast<size_t>(id)];
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), lineBreaks(code(lang), id))
                << code(lang) << " id " << id;
            EXPECT_EQ(text.find_first_of("\r\t\"\\"), std::string::npos) << code(lang) << " id " << id;
        }
    }
}

TEST(ShippedTexts, EveryFileIsLaidOutInCrLfLinesAfterAByteOrderMark)
{
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        const std::string file(*textList[lang].data, static_cast<size_t>(*textList[lang].length));
        const std::string head = "\xEF\xBB\xBF\r\n:STR\r\n\r\n\"\"\r\n\r\n";
        const std::string tail = "\"\r\n\r\n:EOF\r\n";
        EXPECT_EQ(file.substr(0, head.size()), head) << code(lang);
        ASSERT_GE(file.size(), tail.size());
        EXPECT_EQ(file.substr(file.size() - tail.size()), tail) << code(lang);
        EXPECT_EQ(replaceAll(file, "\r\n", "").find_first_of("\r\n"), std::string::npos) << code(lang);
        // 5 lines before id 1, ids 1 to 24, an empty line and ":EOF".
        EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 5 + 24 + 2) << code(lang);
    }
}

TEST(ShippedTexts, LanguageFileGivesThisPlatformsFontsAndTheDisplayNames)
{
    const std::vector<std::string> fonts =
        parse(&language_txt_pointer, &language_txt_length, FLG_FONT_MAC, 13);
    const std::vector<std::string> expectedFonts = {"Arial",
                                                    "Arial",
                                                    "Arial",
                                                    "Arial",
                                                    "Arial",
                                                    "Arial",
                                                    "Helvetica Neue",
                                                    "Arial",
                                                    "Heiti SC",
                                                    "Heiti TC",
                                                    "AppleGothic Regular",
                                                    "Hiragino Maru Gothic Pro W4",
                                                    Unset};
    EXPECT_EQ(fonts, expectedFonts);

    const std::vector<std::string> names = parse(&language_txt_pointer, &language_txt_length, FLG_LANG, 13);
    const std::vector<std::string> expectedNames = {
        "English",   "Français", "Deutsch",  "Español", "Italiano", "Nederlands", "Русский",
        "Português", "简体中文", "繁體中文", "한국어",  "日本語",   Unset};
    EXPECT_EQ(names, expectedNames);
}

} // namespace
