#include "Binary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{

struct Embedded
{
    const char* file;
    const char* pointer;
    int length;
};

std::string readDataFile(const std::string& name)
{
    std::ifstream in(std::string(DATA_FILES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Binary, EmbedsEveryDataFileByteForByteFollowedByAZeroByte)
{
    const Embedded all[] = {
        {"english.txt", english_txt_pointer, english_txt_length},
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
        {"warning.png", warning_png_pointer, warning_png_length},
    };
    for (const Embedded& e : all)
    {
        const std::string onDisk = readDataFile(e.file);
        ASSERT_FALSE(onDisk.empty()) << e.file;
        EXPECT_EQ(std::string(e.pointer, static_cast<size_t>(e.length)), onDisk) << e.file;
        EXPECT_EQ(e.pointer[e.length], '\0') << e.file;
    }
}

TEST(Binary, EnglishAndLanguageFilesHaveTheirFixedSizes)
{
    EXPECT_EQ(english_txt_length, 914);
    EXPECT_EQ(language_txt_length, 517);
}

TEST(Binary, WarningImageIsA56By55RgbaPngWithoutInterlace)
{
    const auto* png = reinterpret_cast<const unsigned char*>(warning_png_pointer);
    ASSERT_GT(warning_png_length, 33);
    EXPECT_EQ(std::string(warning_png_pointer, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(std::string(warning_png_pointer + 12, 4), "IHDR");
    const auto be32 = [png](int at)
    { return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    EXPECT_EQ(be32(16), 56);
    EXPECT_EQ(be32(20), 55);
    EXPECT_EQ(png[24], 8) << "bits per channel";
    EXPECT_EQ(png[25], 6) << "colour type RGBA";
    EXPECT_EQ(png[28], 0) << "interlace";
}

} // namespace
