#include "TxtLoader.h"

#include "LocaleEnvironment.h"

#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <initializer_list>

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

    static void storeLanguages(std::initializer_list<const char*> identifiers)
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

TEST_F(TxtLocaleTest, ChoosesTheLanguageOfTheLocaleSettings)
{
    EXPECT_EQ(chosenFor("ja_JP.UTF-8"), 11u);
    EXPECT_EQ(chosenFor("zh_TW.UTF-8"), 9u);
    EXPECT_EQ(chosenFor("pt_BR.UTF-8"), 7u);
    EXPECT_EQ(chosenFor("en_GB.UTF-8"), 0u);
    EXPECT_EQ(chosenFor("C"), 0u);
}

TEST_F(TxtLocaleTest, TakesTheFirstPreferredLanguageThatIsOffered)
{
    EXPECT_EQ(chosenFor("C", "de_DE:fr"), 2u);
    EXPECT_EQ(chosenFor("C", "sv_SE:fr_FR"), 1u);
    EXPECT_EQ(chosenFor("C", "sv_SE:fi_FI"), 0u);
}

TEST_F(TxtLocaleTest, CreationLoadsTheChosenLanguage)
{
    localeEnvironment().setLanguage("de_DE.UTF-8");
    TxtLoader* loader = TxtLoader::getInstance();
    EXPECT_EQ(loader->getLocale(), 2u);
    EXPECT_EQ(loader->getString(STR_CANCEL), "Abbrechen");
}

TEST_F(TxtLocaleTest, AStoredPreferenceWinsOverTheLocaleSettings)
{
    localeEnvironment().setLanguage("ja_JP.UTF-8");
    storeLanguages({"ko", "fr"});
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 10u);
}

TEST_F(TxtLocaleTest, ChineseMatchesOnlyWithItsScriptAndCaseDoesNotMatter)
{
    localeEnvironment().setLanguage("C");
    storeLanguages({"zh", "zh_CN", "ja_JP"});
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 11u);
    storeLanguages({"zh-Hant_TW"});
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 9u);
    storeLanguages({"EN", "fr"});
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 0u);
}

TEST_F(TxtLocaleTest, SkipsIdentifiersLongerThan15CharactersAndWhatIsNoString)
{
    localeEnvironment().setLanguage("C");
    storeLanguages({"fr-Latn-FR-x-private-use", "nl"});
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 5u);

    CFMutableArrayRef mixed = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    const int number = 7;
    CFNumberRef notAString = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number);
    CFArrayAppendValue(mixed, notAString);
    CFArrayAppendValue(mixed, CFSTR("it"));
    storePreference(mixed);
    CFRelease(notAString);
    CFRelease(mixed);
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 4u);
}

TEST_F(TxtLocaleTest, APreferenceThatIsNoListGivesEnglish)
{
    localeEnvironment().setLanguage("ja_JP.UTF-8");
    storePreference(CFSTR("ja"));
    EXPECT_EQ(TxtLoader::getInstance()->chkLocale(), 0u);
}

} // namespace
