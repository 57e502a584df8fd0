#include "LocaleIdentifiers.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <map>

namespace
{

std::string canonical(const char* text)
{
    cf::Owned<CFStringRef> input(CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
    cf::Owned<CFStringRef> result(CFLocaleCreateCanonicalLocaleIdentifierFromString(nullptr, input.get()));
    const char* bytes = CFStringGetCStringPtr(result.get(), kCFStringEncodingUTF8);
    return bytes != nullptr ? bytes : "<null>";
}

TEST(Locale, CanonicalIdentifiersJoinScriptWithDashAndRegionWithUnderscore)
{
    EXPECT_EQ(canonical("de-DE"), "de_DE");
    EXPECT_EQ(canonical("de_DE"), "de_DE");
    EXPECT_EQ(canonical("zh-Hans-CN"), "zh-Hans_CN");
    EXPECT_EQ(canonical("zh-hant-tw"), "zh-Hant_TW");
    EXPECT_EQ(canonical("en"), "en");
    EXPECT_EQ(canonical("EN"), "en");
    EXPECT_EQ(canonical("pt-br"), "pt_BR");
    EXPECT_EQ(canonical("es-419"), "es_419");
    EXPECT_EQ(canonical("fr_FR.UTF-8@euro"), "fr_FR");
    EXPECT_EQ(canonical(""), "<null>");
    EXPECT_EQ(canonical("1234"), "<null>");
    EXPECT_EQ(CFLocaleCreateCanonicalLocaleIdentifierFromString(nullptr, nullptr), nullptr);
}

TEST(Locale, LocaleNamesBecomeTheTagsOfPreferredLanguages)
{
    using cf::locale::languageTag;
    EXPECT_EQ(languageTag("de_DE.UTF-8"), "de-DE");
    EXPECT_EQ(languageTag("en"), "en");
    EXPECT_EQ(languageTag("zh_CN.UTF-8"), "zh-Hans-CN");
    EXPECT_EQ(languageTag("zh_SG"), "zh-Hans-SG");
    EXPECT_EQ(languageTag("zh_TW"), "zh-Hant-TW");
    EXPECT_EQ(languageTag("zh_HK.UTF-8"), "zh-Hant-HK");
    EXPECT_EQ(languageTag("zh_MO"), "zh-Hant-MO");
    EXPECT_EQ(languageTag("zh"), "zh-Hans");
    EXPECT_EQ(languageTag("sr_RS@latin"), "sr-RS");
    EXPECT_EQ(languageTag("C"), "");
    EXPECT_EQ(languageTag("C.UTF-8"), "");
    EXPECT_EQ(languageTag("POSIX"), "");
}

std::vector<std::string> languagesFrom(std::map<std::string, std::string> variables)
{
    return cf::locale::preferredLanguages(
        [&variables](const char* name) -> const char*
        {
            auto found = variables.find(name);
            return found != variables.end() ? found->second.c_str() : nullptr;
        });
}

TEST(Locale, PreferredLanguagesFollowLanguageThenTheFirstLocaleVariableSet)
{
    EXPECT_EQ(languagesFrom({{"LANG", "de_DE.UTF-8"}}), (std::vector<std::string>{"de-DE"}));
    EXPECT_EQ(languagesFrom({{"LC_MESSAGES", "fr_FR.UTF-8"}, {"LANG", "de_DE.UTF-8"}}),
              (std::vector<std::string>{"fr-FR"}));
    EXPECT_EQ(languagesFrom({{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "de_DE"}}),
              (std::vector<std::string>{"ja-JP"}));
    EXPECT_EQ(languagesFrom({{"LANGUAGE", "zh_TW:ko::en"}, {"LANG", "en.UTF-8"}}),
              (std::vector<std::string>{"zh-Hant-TW", "ko", "en"}));
    EXPECT_EQ(languagesFrom({{"LC_ALL", ""}, {"LANG", "C.UTF-8"}}), (std::vector<std::string>{}));
    EXPECT_EQ(languagesFrom({}), (std::vector<std::string>{}));
}

} // namespace
