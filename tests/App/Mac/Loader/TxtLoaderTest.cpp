#include "TxtLoader.h"

#include "LocaleEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class TxtLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override { localeEnvironment().setLanguage("C"); }

    void TearDown() override
    {
        TxtLoader::releaseInstance();
        ptextList = textList;
    }

    // Makes language lang read text instead of its shipped file.
    void replaceFile(unsigned int lang, const std::string& text)
    {
        m_text = text;
        m_pointer = m_text.c_str();
        m_length = static_cast<int>(m_text.size());
        std::copy(textList, textList + LangCount, m_table);
        m_table[lang] = {&m_pointer, &m_length};
        ptextList = m_table;
    }

    std::string m_text;
    const char* m_pointer = nullptr;
    int m_length = 0;
    TextList m_table[LangCount] = {};
};

TEST_F(TxtLoaderTest, FirstUseTakesTheChosenLanguageAndSetLocaleOnlyALanguageOfTheList)
{
    localeEnvironment().setLanguage("ru_RU.UTF-8");
    TxtLoader* loader = TxtLoader::getInstance();
    EXPECT_EQ(TxtLoader::getInstance(), loader);
    EXPECT_EQ(loader->getLocale(), 6u);
    EXPECT_EQ(loader->getString(STR_CANCEL).toStdString(), "Отмена");
    EXPECT_EQ(loader->getFont(), "Helvetica Neue");
    EXPECT_EQ(loader->getLang(6).toStdString(), "Русский");
    EXPECT_EQ(loader->getFont(11), "Hiragino Maru Gothic Pro W4");
    for (unsigned int i = 0; i < LangCount; ++i)
        EXPECT_TRUE(loader->isLocale(i)) << i;

    for (const unsigned int language : {2u, LangCount, 0xFFFFFFFFu})
        loader->setLocale(language);
    EXPECT_EQ(loader->getLocale(), 2u);
    EXPECT_EQ(loader->getString(STR_CANCEL), "Abbrechen");
    EXPECT_EQ(loader->getFont(), "Arial");
    EXPECT_EQ(loader->getString(StringCount) + loader->getLang(LangCount) + loader->getFont(LangCount), "");
    EXPECT_FALSE(loader->isLocale(LangCount));
    TxtLoader::releaseInstance();
}

TEST_F(TxtLoaderTest, SetLocaleParsesOnlyForAnotherLanguageAndKeepsStringsTheFileLacks)
{
    TxtLoader* loader = TxtLoader::getInstance();
    replaceFile(3, ":STR\r\n\"\"\r\n\"first\"\r\n");
    loader->setLocale(3);
    EXPECT_EQ(loader->getString(STR_FAMILY), "first");
    EXPECT_EQ(loader->getString(STR_CANCEL), "Cancel");
    replaceFile(3, ":STR\r\n\"\"\r\n\"second\"\r\n");
    loader->setLocale(3);
    EXPECT_EQ(loader->getString(STR_FAMILY), "first");
    loader->setLocale(4);
    loader->setLocale(3);
    EXPECT_EQ(loader->getString(STR_FAMILY), "second");
}

} // namespace
