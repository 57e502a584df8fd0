#include "CustomLookAndFeel.h"
#include "FontFixture.h"
#include "PixelProbe.h"
#include "TxtLoader.h"

namespace
{
const juce::Colour buttonGrey(234, 234, 234);
const juce::Colour outlineGrey(137, 137, 137);
const juce::Colour frame(8, 8, 8);

// A wide lozenge, so that the gradient can be read at its top, middle and bottom.
juce::Image drawLozenge(bool held, float cornerSize = -1.0f)
{
    auto image = transparentImage(200, 100);
    juce::Graphics g(image);
    BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 199.0f, 99.0f, buttonGrey, 1.0f, cornerSize, false, false,
                                   false, false, held);
    return image;
}

juce::Image drawMenuItem(LangLookAndFeel& look, const juce::String& text, int height, bool highlighted,
                         bool ticked = false, const juce::Colour* textColour = nullptr)
{
    auto image = whiteImage(200, height);
    juce::Graphics g(image);
    look.drawPopupMenuItem(g, {0, 0, 200, height}, false, true, highlighted, ticked, false, text, {}, nullptr,
                           textColour);
    return image;
}

juce::Image drawBar(ProgressLookAndFeel& look, double value, const juce::String& text)
{
    double shown = value;
    juce::ProgressBar bar(shown);
    bar.setColour(juce::ProgressBar::backgroundColourId, frame);
    auto image = transparentImage(380, 20);
    juce::Graphics g(image);
    look.drawProgressBar(g, bar, 380, 20, value, text);
    return image;
}

bool isWhitish(juce::Colour c)
{
    return c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200;
}
} // namespace

class CustomLookAndFeelTest : public FontFixture
{
protected:
    void TearDown() override
    {
        TxtLoader::releaseInstance();
        FontFixture::TearDown();
    }
};

TEST_F(CustomLookAndFeelTest, ButtonFaceRunsWhiteGreyWhiteAtRestInADarkerOutline)
{
    const auto image = drawLozenge(false);
    EXPECT_TRUE(pixelIs(image, 100, 1, juce::Colours::white, 3));
    EXPECT_TRUE(pixelIs(image, 100, 50, juce::Colour(195, 195, 195), 3));
    EXPECT_TRUE(pixelIs(image, 100, 98, juce::Colours::white, 3));
    EXPECT_TRUE(pixelIs(image, 100, 0, outlineGrey));
    EXPECT_TRUE(pixelIs(image, 100, 99, outlineGrey));
}

TEST_F(CustomLookAndFeelTest, ButtonFaceTurnsBlueWhileHeldDownInTheSameOutline)
{
    const auto image = drawLozenge(true);
    EXPECT_TRUE(pixelIs(image, 100, 1, juce::Colour(185, 200, 240), 3));
    EXPECT_TRUE(pixelIs(image, 100, 50, juce::Colour(82, 156, 231), 3));
    EXPECT_TRUE(pixelIs(image, 100, 98, juce::Colour(140, 222, 253), 3));
    EXPECT_TRUE(pixelIs(image, 100, 0, outlineGrey));
}

TEST_F(CustomLookAndFeelTest, ButtonCornersCurveByHalfTheShorterSideUnlessGiven)
{
    EXPECT_EQ(drawLozenge(false).getPixelAt(5, 5).getAlpha(), 0);
    EXPECT_EQ(drawLozenge(false).getPixelAt(15, 10).getAlpha(), 0);
    // A corner size of 0 leaves square corners.
    EXPECT_TRUE(pixelIs(drawLozenge(false, 0.0f), 0, 0, outlineGrey));
}

TEST_F(CustomLookAndFeelTest, ButtonBoxNoLargerThanItsOutlineDrawsNothing)
{
    auto image = transparentImage(20, 20);
    juce::Graphics g(image);
    BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 1.0f, 19.0f, buttonGrey, 1.0f, -1.0f, false, false, false,
                                   false, false);
    BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 19.0f, 0.5f, buttonGrey, 1.0f, -1.0f, false, false, false,
                                   false, false);
    EXPECT_EQ(countPixels(image, image.getBounds(), [](juce::Colour c) { return c.getAlpha() != 0; }), 0);
}

TEST_F(CustomLookAndFeelTest, HighlightedMenuItemIsWhiteOnDarkBlueWhateverColourTheMenuPasses)
{
    LangLookAndFeel look;
    const juce::Colour red(220, 0, 0);
    const auto image = drawMenuItem(look, "English", 20, true, false, &red);

    EXPECT_TRUE(pixelIs(image, 1, 1, juce::Colour(0, 0, 64)));
    EXPECT_TRUE(pixelIs(image, 198, 18, juce::Colour(0, 0, 64)));
    EXPECT_TRUE(pixelIs(image, 0, 0, juce::Colours::white));
    EXPECT_GT(countPixels(image, {25, 2, 100, 16}, isWhitish), 0);
    EXPECT_EQ(
        countPixels(image, image.getBounds(), [](juce::Colour c) { return c.getRed() > c.getBlue() + 50; }),
        0);

    // Not highlighted, the menu's colour applies.
    const auto plain = drawMenuItem(look, "English", 20, false, false, &red);
    EXPECT_GT(
        countPixels(plain, plain.getBounds(), [](juce::Colour c) { return c.getRed() > c.getBlue() + 50; }),
        0);
}

TEST_F(CustomLookAndFeelTest, MenuItemTextStartsAfterTheTickColumn)
{
    LangLookAndFeel look;
    const auto unticked = drawMenuItem(look, "English", 20, false);
    const auto text = boundsOfPixels(unticked, unticked.getBounds(), isDark);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.getX(), 25);
    EXPECT_LE(text.getX(), 27);

    const auto ticked = drawMenuItem(look, "English", 20, false, true);
    EXPECT_GT(countPixels(ticked, {2, 0, 21, 20}, isDark), 0);
    EXPECT_EQ(countPixels(unticked, {0, 0, 24, 20}, isDark), 0);
}

TEST_F(CustomLookAndFeelTest, MenuDrawsEachLanguageNameWithItsOwnLanguagesFont)
{
    LangLookAndFeel look;
    auto* texts = TxtLoader::getInstance();
    juce::Font::setFallbackFontName("Arial");
    // An item height no other test uses, so that no glyph drawn elsewhere is reused.
    const int height = 23;
    for (unsigned int i = 0; i < LangCount; ++i)
    {
        const auto image = drawMenuItem(look, texts->getLang(i), height, false);
        const auto ink = boundsOfPixels(image, image.getBounds(), isDark);
        const float expectedWidth =
            look.getPopupMenuFont().withHeight((float)height / 1.3f).getStringWidthFloat(texts->getLang(i));
        EXPECT_GT(ink.getWidth(), expectedWidth * 0.6f) << texts->getLang(i);
    }
}

TEST_F(CustomLookAndFeelTest, MenuPutsTheFallbackFontBackAfterEveryItem)
{
    LangLookAndFeel look;
    auto* texts = TxtLoader::getInstance();
    juce::Font::setFallbackFontName("Before The Menu");

    juce::StringArray items{"No Such Language", texts->getLang(0).toUpperCase()};
    for (unsigned int i = 0; i < LangCount; ++i)
        items.add(texts->getLang(i));
    for (const auto& item : items)
    {
        drawMenuItem(look, item, 20, false, true);
        EXPECT_EQ(juce::Font::getFallbackFontName(), "Before The Menu") << item;
        drawMenuItem(look, item, 20, true);
        EXPECT_EQ(juce::Font::getFallbackFontName(), "Before The Menu") << item;
    }

    auto image = whiteImage(200, 9);
    juce::Graphics g(image);
    look.drawPopupMenuItem(g, {0, 0, 200, 9}, true, false, false, false, false, {}, {}, nullptr, nullptr);
    EXPECT_EQ(juce::Font::getFallbackFontName(), "Before The Menu");
    EXPECT_LT(image.getPixelAt(100, 4).getBrightness(), 1.0f);
}

TEST_F(CustomLookAndFeelTest, ProgressHalfwayFillsHalfTheInnerBarInsideItsFrame)
{
    ProgressLookAndFeel look;
    const auto image = drawBar(look, 0.5, {});

    EXPECT_TRUE(pixelIs(image, 0, 0, frame));
    EXPECT_TRUE(pixelIs(image, 1, 10, frame));
    EXPECT_TRUE(pixelIs(image, 100, 1, frame));
    EXPECT_TRUE(pixelIs(image, 100, 18, frame));
    // 188 of the 376 inner pixels.
    EXPECT_TRUE(pixelIs(image, 189, 10, juce::Colour(100, 100, 100), 8));
    EXPECT_TRUE(pixelIs(image, 190, 10, frame));
    // The gradient runs from light at the top through dark to a little lighter at the bottom.
    EXPECT_TRUE(pixelIs(image, 100, 2, juce::Colour(167, 167, 167), 6));
    EXPECT_TRUE(pixelIs(image, 100, 9, juce::Colour(100, 100, 100), 3));
    EXPECT_TRUE(pixelIs(image, 100, 17, juce::Colour(108, 108, 108), 1));
}

TEST_F(CustomLookAndFeelTest, ProgressOutsideZeroToOneFillsNothingOrAll)
{
    ProgressLookAndFeel look;
    EXPECT_TRUE(pixelIs(drawBar(look, -0.2, {}), 2, 10, frame));
    const auto full = drawBar(look, 1.5, {});
    EXPECT_TRUE(pixelIs(full, 377, 10, juce::Colour(100, 100, 100), 8));
    EXPECT_TRUE(pixelIs(full, 378, 10, frame));
}

TEST_F(CustomLookAndFeelTest, ProgressTextIsWhiteAndCentred)
{
    ProgressLookAndFeel look;
    const auto image = drawBar(look, 0.5, "50%");
    const auto text = boundsOfPixels(image, image.getBounds(), isWhitish);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.getCentreX(), 190, 3);
    EXPECT_NEAR(text.getCentreY(), 10, 3);
    EXPECT_GT(text.getHeight(), 8);
}
