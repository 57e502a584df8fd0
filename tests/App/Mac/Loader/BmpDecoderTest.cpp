#include "BmpDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{

void put32(std::string& bmp, size_t at, int32_t value)
{
    for (int k = 0; k < 4; ++k)
        bmp[at + static_cast<size_t>(k)] =
            static_cast<char>((static_cast<uint32_t>(value) >> (8 * k)) & 0xFF);
}

// The 54 header bytes of a bitmap; only the fields the decoder reads are filled.
std::string header(int32_t width, int32_t height, int bitsPerPixel)
{
    std::string bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 18, width);
    put32(bmp, 22, height);
    bmp[28] = static_cast<char>(bitsPerPixel);
    return bmp;
}

std::string bytes(std::vector<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

juce::Image decode(const std::string& bmp)
{
    return DecodeBmp(bmp.data(), static_cast<int>(bmp.size()));
}

TEST(BmpDecoder, Reads24BitRowsBottomUpSkippingTheirPadding)
{
    // 3 pixels of 3 bytes pad to a stride of 12.
    const std::string bmp = header(3, 2, 24) + bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}) +
                            bytes({10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
    const juce::Image image = decode(bmp);
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.getFormat(), juce::Image::RGB);
    EXPECT_EQ(image.getWidth(), 3);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(image.getPixelAt(0, 1), juce::Colour(3, 2, 1));
    EXPECT_EQ(image.getPixelAt(2, 1), juce::Colour(9, 8, 7));
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(12, 11, 10));
    EXPECT_EQ(image.getPixelAt(2, 0), juce::Colour(18, 17, 16));
}

TEST(BmpDecoder, Reads32BitPixelsWithTheirAlpha)
{
    const std::string bmp = header(2, 1, 32) + bytes({10, 20, 30, 255, 40, 50, 60, 0});
    const juce::Image image = decode(bmp);
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.getFormat(), juce::Image::ARGB);
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(30, 20, 10));
    EXPECT_EQ(image.getPixelAt(1, 0).getAlpha(), 0);

    const juce::Image half = decode(header(1, 1, 32) + bytes({0, 0, 200, 128}));
    ASSERT_TRUE(half.isValid());
    EXPECT_EQ(half.getPixelAt(0, 0).getAlpha(), 128);
    EXPECT_NEAR(half.getPixelAt(0, 0).getRed(), 200, 1);
    EXPECT_EQ(half.getPixelAt(0, 0).getBlue(), 0);
}

TEST(BmpDecoder, RefusesWhatIsNoUncompressedBitmapOrLacksItsRows)
{
    const std::string row = bytes({1, 2, 3, 0});
    EXPECT_TRUE(decode(header(1, 1, 24) + row).isValid());
    EXPECT_FALSE(decode(header(1, 1, 16) + row).isValid());
    EXPECT_FALSE(decode(header(0, 1, 24) + row).isValid());
    EXPECT_FALSE(decode(header(1, 0, 24) + row).isValid());
    EXPECT_FALSE(decode(header(1, -1, 24) + row).isValid());
    EXPECT_FALSE(decode(header(-1, 1, 24) + row).isValid());
    EXPECT_FALSE(decode("XM" + (header(1, 1, 24) + row).substr(2)).isValid());
    EXPECT_FALSE(decode(header(1, 2, 24) + row).isValid()) << "second row missing";
    EXPECT_FALSE(decode(header(1, 1, 24) + row.substr(0, 3)).isValid()) << "padding missing";
    EXPECT_FALSE(decode(header(0x7FFFFFFF, 0x7FFFFFFF, 32) + row).isValid());
    EXPECT_FALSE(decode("BM").isValid());
    EXPECT_FALSE(DecodeBmp(nullptr, 100).isValid());
}

TEST(BmpDecoder, ByteShiftReversesBytesInPlace)
{
    char odd[] = {'B', 'G', 'R'};
    ByteShift(odd, 3);
    EXPECT_EQ(std::string(odd, 3), "RGB");
    char even[] = {'B', 'G', 'R', 'A'};
    ByteShift(even, 4);
    EXPECT_EQ(std::string(even, 4), "ARGB");
}

} // namespace
