#include "BmpDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace
{

// The 54 header bytes of a bitmap, with only the fields the decoder reads, then the pixel bytes.
std::string bitmap(int32_t width, int32_t height, int bitsPerPixel, std::initializer_list<int> pixels)
{
    std::string bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    for (int k = 0; k < 4; ++k)
    {
        bmp[18 + k] = static_cast<char>(static_cast<uint32_t>(width) >> (8 * k));
        bmp[22 + k] = static_cast<char>(static_cast<uint32_t>(height) >> (8 * k));
    }
    bmp[28] = static_cast<char>(bitsPerPixel);
    for (int p : pixels)
        bmp += static_cast<char>(p);
    return bmp;
}

juce::Image decode(const std::string& bmp)
{
    return DecodeBmp(bmp.data(), static_cast<int>(bmp.size()));
}

TEST(BmpDecoder, Reads24BitRowsBottomUpSkippingTheirPadding)
{
    // 3 pixels of 3 bytes pad to a stride of 12.
    const juce::Image image = decode(
        bitmap(3, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}));
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.getFormat(), juce::Image::RGB);
    EXPECT_EQ(image.getBounds(), juce::Rectangle<int>(0, 0, 3, 2));
    EXPECT_EQ(image.getPixelAt(0, 1), juce::Colour(3, 2, 1));
    EXPECT_EQ(image.getPixelAt(2, 1), juce::Colour(9, 8, 7));
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(12, 11, 10));
    EXPECT_EQ(image.getPixelAt(2, 0), juce::Colour(18, 17, 16));
}

TEST(BmpDecoder, Reads32BitPixelsWithTheirAlpha)
{
    const juce::Image image = decode(bitmap(3, 1, 32, {10, 20, 30, 255, 40, 50, 60, 0, 0, 0, 200, 128}));
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.getFormat(), juce::Image::ARGB);
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colour(30, 20, 10));
    EXPECT_EQ(image.getPixelAt(1, 0).getAlpha(), 0);
    const juce::Colour half = image.getPixelAt(2, 0);
    EXPECT_EQ(half.getAlpha(), 128);
    EXPECT_NEAR(half.getRed(), 200, 1);
    EXPECT_EQ(half.getBlue(), 0);
}

TEST(BmpDecoder, RefusesWhatIsNoUncompressedBitmapOrLacksItsRows)
{
    EXPECT_TRUE(decode(bitmap(1, 1, 24, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode(bitmap(1, 1, 16, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode(bitmap(0, 1, 24, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode(bitmap(1, 0, 24, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode(bitmap(1, -1, 24, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode(bitmap(-1, 1, 24, {1, 2, 3, 0})).isValid());
    EXPECT_FALSE(decode("XM" + bitmap(1, 1, 24, {1, 2, 3, 0}).substr(2)).isValid());
    EXPECT_FALSE(decode(bitmap(1, 2, 24, {1, 2, 3, 0})).isValid()) << "second row missing";
    EXPECT_FALSE(decode(bitmap(1, 1, 24, {1, 2, 3})).isValid()) << "padding missing";
    EXPECT_FALSE(decode(bitmap(0x7FFFFFFF, 0x7FFFFFFF, 32, {1, 2, 3, 4})).isValid());
    EXPECT_FALSE(decode("BM").isValid());
    EXPECT_FALSE(DecodeBmp(nullptr, 100).isValid());
}

} // namespace
