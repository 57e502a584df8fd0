#include "Table.h"

#include "Binary.h"

LangList langList[LangCount] = {{"en"}, {"fr"}, {"de"},      {"es"},      {"it"}, {"nl"},
                                {"ru"}, {"pt"}, {"zh-Hans"}, {"zh-Hant"}, {"ko"}, {"ja"}};

TextList textList[LangCount] = {
    {&english_txt_pointer, &english_txt_length},
    {&french_txt_pointer, &french_txt_length},
    {&german_txt_pointer, &german_txt_length},
    {&spanish_txt_pointer, &spanish_txt_length},
    {&italian_txt_pointer, &italian_txt_length},
    {&dutch_txt_pointer, &dutch_txt_length},
    {&russian_txt_pointer, &russian_txt_length},
    {&portuguese_txt_pointer, &portuguese_txt_length},
    {&simplified_chinese_txt_pointer, &simplified_chinese_txt_length},
    {&traditional_chinese_txt_pointer, &traditional_chinese_txt_length},
    {&korean_txt_pointer, &korean_txt_length},
    {&japanese_txt_pointer, &japanese_txt_length},
};

ImageList imageList[ImageCount] = {{&warning_png_pointer, &warning_png_length}};

LangList* plangList = langList;
TextList* ptextList = textList;
ImageList* pimageList = imageList;
