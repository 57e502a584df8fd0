#include "TxtLoader.h"

#include "LocaleEnvironment.h"

#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{

class TxtLocaleTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        storePreference(nullptr);
        TxtLoader::releaseInstance();
    }

    unsigned int chosenFor(const char* lang, const char* language = nullptr)
    {
        localeEnvironment().setLanguage(lang, language);
        return TxtLoader::getInstance()->chkLocale();
    }

    // Sets "AppleLanguages" for this program to value, or removes it when value is null; it is
    // never written out.
    static void storePreference(CFPropertyListRef value)
    {
        CFPreferencesSetAppValue(CFSTR("AppleLanguages"), value, kCFPreferencesCurrentApplication);
    }

    static void storeLanguages(const std::vector<const char*>& identifiers)
    {
        CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (const char* identifier : identifiers)
        {
            CFStringRef string =
                CFStringCreateWithCString(kCFAllocatorDefault, identifier, kCFStringEncodingUTF8);
            CFArrayAppendValue(array, string);
            CFRelease(string);
        }
        storePreference(array);
        CFRelease(array);
    }
};

TEST_F(TxtLocaleTest, ChoosesTheFirstOfferedLanguageOfTheLocaleSettings)
{
    EXPECT_EQ(chosenFor("ja_JP.UTF-8"), 11u);
    EXPECT_EQ(chosenFor("zh_TW.UTF-8"), 9u);
    EXPECT_EQ(chosenFor("pt_BR.UTF-8"), 7u);
    EXPECT_EQ(chosenFor("C"), 0u);
    EXPECT_EQ(chosenFor("C", "de_DE:fr"), 2u);
    EXPECT_EQ(chosenFor("C", "sv_SE:fr_FR"), 1u);
    EXPECT_EQ(chosenFor("C", "sv_SE:fi_FI"), 0u);
}

TEST_F(TxtLocaleTest, MatchesACodeOnlyAsAWholeBeforeASeparator)
{
    // Konkani ("kok") is not Korean ("ko").
    EXPECT_EQ(chosenFor("kok_IN.UTF-8"), 0u);
    EXPECT_EQ(chosenFor("C", "kok:fr"), 1u);

    const std::pair<std::vector<const char*>, unsigned int> cases[] = {
        {{"kok_IN", "de"}, 2u}, {{"ko-Kore_KR"}, 10u}, {{"zh-Hans_CN"}, 8u}, {{"en_GB", "fr"}, 0u}};
    for (const auto& [languages, expected] : cases)
    {
        storeLanguages(languages);
        EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), expected) << languages[0];
    }
}

TEST_F(TxtLocaleTest, ASystemLocaleAliasGivesTheLanguageOfItsLocale)
{
    const std::pair<const char*, unsigned int> cases[] = {{"french", 1u},  {"deutsch", 2u}, {"japanese", 11u},
                                                          {"korean", 10u}, {"russian", 6u}, {"italian", 4u}};
    for (const auto& [alias, expected] : cases)
    {
        EXPECT_EQ(chosenFor(alias), expected) << alias;
        EXPECT_EQ(chosenFor("C", (std::string("sv_SE:") + alias).c_str()), expected) << alias;
    }
    EXPECT_EQ(chosenFor("kok_IN"), 0u);
}

TEST_F(TxtLocaleTest, AStoredListWinsMatchingCodesIgnoringCaseAndSkippingWhatDoesNotFit)
{
    localeEnvironment().setLanguage("ja_JP.UTF-8");
    const std::pair<std::vector<const char*>, unsigned int> cases[] = {
        {{"ko", "fr"}, 10u},
        {{"zh", "zh_CN", "ja_JP"}, 11u}, // Chinese only with its script
        {{"zh-Hant_TW"}, 9u},
        {{"EN", "fr"}, 0u},
        {{"fr-Latn-FR-x-private-use", "nl"}, 5u}, // longer than 15 characters
    };
    for (const auto& [languages, expected] : cases)
    {
        storeLanguages(languages);
        EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), expected) << languages[0];
    }

    CFMutableArrayRef mixed = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    const int number = 7;
    CFNumberRef notAString = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number);
    CFArrayAppendValue(mixed, notAString);
    CFArrayAppendValue(mixed, CFSTR("it"));
    storePreference(mixed);
    CFRelease(notAString);
    CFRelease(mixed);
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 4u);
    storePreference(CFSTR("ja")); // no list at all
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 0u);
}

} // namespace
