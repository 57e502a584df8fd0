#include "CFTestHelpers.h"
#include "LocaleIdentifiers.h"

#include <map>

namespace
{

TEST(Locale, NamesBecomeCanonicalIdentifiersAndTheTagsOfPreferredLanguages)
{
    // The name, its canonical identifier ("<null>": refused) and its language tag ("": none).
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de_DE", "de-DE"},
        {"EN", "en", "en"},
        {"pt-br", "pt_BR", "pt-BR"},
        {"es-419", "es_419", "es-419"},
        {"fr_FR.UTF-8@euro", "fr_FR", "fr-FR"},
        {"sr_RS@latin", "sr_RS", "sr-RS"},
        {"zh-Hans-CN", "zh-Hans_CN", "zh-Hans-CN"},
        {"zh-hant-tw", "zh-Hant_TW", "zh-Hant-TW"},
        {"zh_CN.UTF-8", "zh_CN", "zh-Hans-CN"},
        {"zh_SG", "zh_SG", "zh-Hans-SG"},
        {"zh_TW", "zh_TW", "zh-Hant-TW"},
        {"zh_HK.UTF-8", "zh_HK", "zh-Hant-HK"},
        {"zh_MO", "zh_MO", "zh-Hant-MO"},
        {"zh", "zh", "zh-Hans"},
        {"C.UTF-8", "<null>", ""},
        {"POSIX", "posix", ""},
        {"", "<null>", ""},
        {"1234", "<null>", ""},
    };
    for (const auto& [name, canonical, tag] : cases)
    {
        cf::Owned<CFStringRef> identifier(
            CFLocaleCreateCanonicalLocaleIdentifierFromString(nullptr, cftest::string(name).get()));
        EXPECT_EQ(cftest::text(identifier.get()), canonical) << name;
        EXPECT_EQ(cf::locale::languageTag(name), tag) << name;
    }
    EXPECT_EQ(CFLocaleCreateCanonicalLocaleIdentifierFromString(nullptr, nullptr), nullptr);
}

std::vector<std::string> languagesFrom(std::map<std::string, std::string> variables,
                                       const cf::locale::Aliases& aliases = {})
{
    return cf::locale::preferredLanguages(
        [&variables](const char* name) -> const char*
        {
            auto found = variables.find(name);
            return found != variables.end() ? found->second.c_str() : nullptr;
        },
        aliases);
}

TEST(Locale, PreferredLanguagesFollowLanguageThenTheFirstLocaleVariableSet)
{
    using Languages = std::vector<std::string>;
    EXPECT_EQ(languagesFrom({{"LANG", "de_DE.UTF-8"}}), Languages{"de-DE"});
    EXPECT_EQ(languagesFrom({{"LC_MESSAGES", "fr_FR.UTF-8"}, {"LANG", "de_DE.UTF-8"}}), Languages{"fr-FR"});
    EXPECT_EQ(languagesFrom({{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "de_DE"}}),
              Languages{"ja-JP"});
    EXPECT_EQ(languagesFrom({{"LANGUAGE", "zh_TW:ko::en"}, {"LANG", "en.UTF-8"}}),
              (Languages{"zh-Hant-TW", "ko", "en"}));
    EXPECT_EQ(languagesFrom({{"LC_ALL", ""}, {"LANG", "C.UTF-8"}}), Languages{});
    EXPECT_EQ(languagesFrom({}), Languages{});
}

TEST(Locale, AnAliasOfTheSystemTableStandsForItsLocaleAsAWholeName)
{
    const cf::locale::Aliases aliases = cf::locale::parseAliases("# comment line\n"
                                                                 "french\t\tfr_FR.ISO-8859-1\r\n"
                                                                 "  Deutsch  de_DE.ISO-8859-1 # trailing\n"
                                                                 "\n"
                                                                 "lonely\n"
                                                                 "nameless # ko_KR\n"
                                                                 "french es_ES\n"
                                                                 "korean ko_KR.eucKR");
    EXPECT_EQ(aliases, (cf::locale::Aliases{{"french", "fr_FR.ISO-8859-1"},
                                            {"deutsch", "de_DE.ISO-8859-1"},
                                            {"korean", "ko_KR.eucKR"}}));

    using Languages = std::vector<std::string>;
    EXPECT_EQ(languagesFrom({{"LANG", "french"}}, aliases), Languages{"fr-FR"});
    EXPECT_EQ(languagesFrom({{"LANG", "DEUTSCH"}}, aliases), Languages{"de-DE"});
    EXPECT_EQ(languagesFrom({{"LANGUAGE", "kok:korean"}, {"LANG", "french.UTF-8"}}, aliases),
              (Languages{"kok", "ko-KR", "french"}));
    EXPECT_EQ(languagesFrom({{"LC_ALL", "korean"}, {"LANG", "french"}}, aliases), Languages{"ko-KR"});
}

} // namespace
