#include "Binary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{

std::string dataFile(const std::string& name)
{
    std::ifstream in(std::string(DATA_FILES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Binary, EmbedsEveryDataFileByteForByteFollowedByAZeroByte)
{
    const struct
    {
        const char* file;
        const char* pointer;
        int length;
    } all[] = {{"english.txt", english_txt_pointer, english_txt_length},
               {"french.txt", french_txt_pointer, french_txt_length},
               {"german.txt", german_txt_pointer, german_txt_length},
               {"spanish.txt", spanish_txt_pointer, spanish_txt_length},
               {"italian.txt", italian_txt_pointer, italian_txt_length},
               {"dutch.txt", dutch_txt_pointer, dutch_txt_length},
               {"russian.txt", russian_txt_pointer, russian_txt_length},
               {"portuguese.txt", portuguese_txt_pointer, portuguese_txt_length},
               {"simplified_chinese.txt", simplified_chinese_txt_pointer, simplified_chinese_txt_length},
               {"traditional_chinese.txt", traditional_chinese_txt_pointer, traditional_chinese_txt_length},
               {"korean.txt", korean_txt_pointer, korean_txt_length},
               {"japanese.txt", japanese_txt_pointer, japanese_txt_length},
               {"language.txt", language_txt_pointer, language_txt_length},
               {"warning.png", warning_png_pointer, warning_png_length}};
    for (const auto& e : all)
    {
        const std::string onDisk = dataFile(e.file);
        ASSERT_FALSE(onDisk.empty()) << e.file;
        EXPECT_EQ(std::string(e.pointer, static_cast<size_t>(e.length)), onDisk) << e.file;
        EXPECT_EQ(e.pointer[e.length], '\0') << e.file;
    }
    EXPECT_EQ(english_txt_length, 914);
    EXPECT_EQ(language_txt_length, 517);
}

TEST(Binary, WarningImageIsAnRgbaPngWithoutInterlace)
{
    // The IHDR chunk follows the 8-byte signature; its fields start at byte 16.
    const std::string png(warning_png_pointer, static_cast<size_t>(warning_png_length));
    ASSERT_GT(png.size(), 29u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x38\0\0\0\x37", 8)) << "56 x 55";
    EXPECT_EQ(png.substr(24, 5), std::string("\x08\x06\0\0\0", 5)) << "8 bits, RGBA, not interlaced";
}

} // namespace
