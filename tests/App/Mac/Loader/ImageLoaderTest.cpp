#include "ImageLoader.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

namespace
{

// A 2 x 1 24-bit bitmap: one blue pixel, one red, two bytes of padding.
const char Bitmap[] = "BM\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\2\0\0\0\1\0\0\0\0\0\30\0"
                      "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\377\0\0\0\0\377\0\0";
const char NotAnImage[] = "neither a PNG nor a bitmap";

class ImageLoaderTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ImageLoader::releaseInstance();
        pimageList = imageList;
        juce::ImageCache::releaseUnusedImages();
    }

    // Makes the loader read data instead of the embedded image.
    void useImageData(const char* data, int length)
    {
        m_data = data;
        m_length = length;
        m_table[0] = {&m_data, &m_length};
        pimageList = m_table;
    }

    juce::ScopedJuceInitialiser_GUI m_juce;
    const char* m_data = nullptr;
    int m_length = 0;
    ImageList m_table[ImageCount] = {};
};

TEST_F(ImageLoaderTest, WarningImageIs56By55WithTransparentCorners)
{
    ImageLoader::createInstance();
    const juce::Image* image = ImageLoader::getInstance()->getImage(0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getBounds(), juce::Rectangle<int>(0, 0, 56, 55));
    for (auto [x, y] : {std::pair{0, 0}, {55, 0}, {0, 54}, {55, 54}})
        EXPECT_EQ(image->getPixelAt(x, y).getAlpha(), 0) << x << "," << y;
    const juce::Colour yellow = image->getPixelAt(18, 38); // inside the triangle, beside the mark
    EXPECT_EQ(yellow.getAlpha(), 255);
    EXPECT_GT(yellow.getRed(), 200);
    EXPECT_LT(yellow.getBlue(), 100);
    EXPECT_EQ(ImageLoader::getInstance()->getImage(1), nullptr);
    ImageLoader::releaseInstance();
    ImageLoader::releaseInstance();
}

TEST_F(ImageLoaderTest, DecodesABitmapOnceAndSharesItThroughTheCacheAndGivesNoImageForOtherData)
{
    useImageData(Bitmap, sizeof Bitmap - 1);
    const juce::Image* image = ImageLoader::getInstance()->getImage(0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getPixelAt(0, 0), juce::Colour(0, 0, 255));
    EXPECT_EQ(image->getPixelAt(1, 0), juce::Colour(255, 0, 0));
    juce::Image* again = nullptr;
    ImageLoader::getInstance()->Load(0, &again);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->getPixelData(), image->getPixelData());
    delete again;

    for (const char* data : {NotAnImage, (const char*)nullptr})
    {
        ImageLoader::releaseInstance();
        useImageData(data, sizeof NotAnImage - 1);
        EXPECT_EQ(ImageLoader::getInstance()->getImage(0), nullptr);
    }
}

} // namespace
