#include "Binary.h"
#include "Table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{

TEST(Binary, EmbedsEveryDataFileByteForByteFollowedByAZeroByte)
{
    const char* const texts[LangCount] = {"english",
                                          "french",
                                          "german",
                                          "spanish",
                                          "italian",
                                          "dutch",
                                          "russian",
                                          "portuguese",
                                          "simplified_chinese",
                                          "traditional_chinese",
                                          "korean",
                                          "japanese"};
    std::vector<std::tuple<std::string, const char*, int>> all = {
        {"language.txt", language_txt_pointer, language_txt_length},
        {"warning.png", warning_png_pointer, warning_png_length}};
    for (unsigned int i = 0; i < LangCount; ++i)
        all.emplace_back(std::string(texts[i]) + ".txt", *textList[i].data, *textList[i].length);
    for (const auto& [file, pointer, length] : all)
    {
        std::ifstream in(std::string(DATA_FILES_DIR) + "/" + file, std::ios::binary);
        const std::string onDisk{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(onDisk.empty()) << file;
        EXPECT_EQ(std::string(pointer, static_cast<size_t>(length)), onDisk) << file;
        EXPECT_EQ(pointer[length], '\0') << file;
    }
}

} // namespace
