#include "Table.h"
#include "TxtLoader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace
{

// A word of each language, to see that each code leads to the file in that language.
TEST(Table, EachLanguageCodeLeadsToTheTextFileInThatLanguage)
{
    const std::map<std::string, std::string> cancel = {
        {"en", "Cancel"},    {"fr", "Annuler"},   {"de", "Abbrechen"}, {"es", "Cancelar"},
        {"it", "Annulla"},   {"nl", "Annuleren"}, {"ru", "Отмена"},    {"pt", "Cancelar"},
        {"zh-Hans", "取消"}, {"zh-Hant", "取消"}, {"ko", "취소"},      {"ja", "キャンセル"}};
    const std::map<std::string, std::string> close = {
        {"zh-Hans", "关闭"}, {"zh-Hant", "關閉"}, {"es", "Cerrar"}, {"pt", "Fechar"}};
    ASSERT_EQ(cancel.size(), LangCount);
    for (unsigned int lang = 0; lang < LangCount; ++lang)
    {
        juce::String strings[StringCount];
        TxtLoader::Load(lang, FLG_STR, strings, StringCount);
        const std::string code = plangList[lang].code.toStdString();
        EXPECT_EQ(strings[STR_CANCEL].toStdString(), cancel.at(code)) << code;
        if (close.count(code))
        {
            EXPECT_EQ(strings[STR_CLOSE].toStdString(), close.at(code)) << code;
        }
    }
}

TEST(Table, ImageTableHoldsTheWarningImage)
{
    ASSERT_NE(*pimageList[0].data, nullptr);
    EXPECT_GT(*pimageList[0].length, 0);
    EXPECT_EQ(std::string(*pimageList[0].data + 1, 3), "PNG");
}

} // namespace
