#include "CustomLookAndFeel.h"
#include "FontFixture.h"
#include "PixelProbe.h"
#include "TxtLoader.h"

namespace
{
const juce::Colour frame(8, 8, 8);
const juce::Colour barGrey(100, 100, 100);

juce::Image drawMenuItem(LangLookAndFeel& look, const juce::String& text, int height, bool highlighted,
                         bool ticked = false, const juce::Colour* textColour = nullptr)
{
    auto image = blankImage(200, height, juce::Colours::white);
    juce::Graphics g(image);
    look.drawPopupMenuItem(g, {0, 0, 200, height}, false, true, highlighted, ticked, false, text, {}, nullptr,
                           textColour);
    return image;
}

juce::Image drawBar(double value, const juce::String& text)
{
    ProgressLookAndFeel look;
    double shown = value;
    juce::ProgressBar bar(shown);
    bar.setColour(juce::ProgressBar::backgroundColourId, frame);
    auto image = blankImage(380, 20);
    juce::Graphics g(image);
    look.drawProgressBar(g, bar, 380, 20, value, text);
    return image;
}

bool isReddish(juce::Colour c)
{
    return c.getRed() > c.getBlue() + 50;
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

// A wide face, read at its top, middle and bottom rows.
TEST_F(CustomLookAndFeelTest, ButtonFaceRunsWhiteGreyWhiteAtRestAndThroughBluesHeldDown)
{
    const juce::Colour rest[] = {juce::Colours::white, {195, 195, 195}, juce::Colours::white};
    const juce::Colour held[] = {{185, 200, 240}, {82, 156, 231}, {140, 222, 253}};
    for (const bool down : {false, true})
    {
        auto image = blankImage(200, 100);
        juce::Graphics g(image);
        BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 199.0f, 99.0f, juce::Colour(234, 234, 234), 1.0f, -1.0f,
                                       false, false, false, false, down);
        const auto* stops = down ? held : rest;
        EXPECT_TRUE(pixelIs(image, 100, 1, stops[0], 3));
        EXPECT_TRUE(pixelIs(image, 100, 50, stops[1], 3));
        EXPECT_TRUE(pixelIs(image, 100, 98, stops[2], 3));
        EXPECT_TRUE(pixelIs(image, 100, 0, juce::Colour(137, 137, 137)));
        // Corners curve by half the shorter side.
        EXPECT_FALSE(isPainted(image.getPixelAt(15, 10)));
    }
}

TEST_F(CustomLookAndFeelTest, MenuItemIsWhiteOnDarkBlueWhenHighlightedItsTextAfterTheTickColumn)
{
    LangLookAndFeel look;
    const juce::Colour red(220, 0, 0);
    const auto image = drawMenuItem(look, "English", 20, true, false, &red);
    EXPECT_TRUE(pixelIs(image, 1, 1, juce::Colour(0, 0, 64)));
    EXPECT_TRUE(pixelIs(image, 198, 18, juce::Colour(0, 0, 64)));
    EXPECT_TRUE(pixelIs(image, 0, 0, juce::Colours::white));
    EXPECT_FALSE(boundsOfPixels(image.getClippedImage({2, 2, 196, 16}), isWhitish).isEmpty());
    EXPECT_TRUE(boundsOfPixels(image, isReddish).isEmpty());
    EXPECT_FALSE(boundsOfPixels(drawMenuItem(look, "English", 20, false, false, &red), isReddish).isEmpty());

    const auto text = boundsOfPixels(drawMenuItem(look, "English", 20, false), isDark);
    EXPECT_GE(text.getX(), 25);
    EXPECT_LE(text.getX(), 27);
    EXPECT_LT(boundsOfPixels(drawMenuItem(look, "English", 20, false, true), isDark).getX(), 20);
}

TEST_F(CustomLookAndFeelTest, MenuDrawsEachLanguageNameWithItsOwnLanguagesFontAndPutsTheFallbackBack)
{
    LangLookAndFeel look;
    auto* texts = TxtLoader::getInstance();
    juce::Font::setFallbackFontName("Arial");
    const int height = 23; // used by no other test, so that no glyph drawn elsewhere is reused
    for (unsigned int i = 0; i < LangCount; ++i)
    {
        const auto& name = texts->getLang(i);
        const float width = look.getPopupMenuFont().withHeight(height / 1.3f).getStringWidthFloat(name);
        EXPECT_GT(boundsOfPixels(drawMenuItem(look, name, height, false), isDark).getWidth(), width * 0.6f)
            << name;
        EXPECT_EQ(juce::Font::getFallbackFontName(), "Arial") << name;
    }
    for (const auto& other : {juce::String("No Such Language"), texts->getLang(11).toUpperCase()})
    {
        drawMenuItem(look, other, 20, true, true);
        EXPECT_EQ(juce::Font::getFallbackFontName(), "Arial");
    }

    auto separator = blankImage(200, 9, juce::Colours::white);
    juce::Graphics g(separator);
    look.drawPopupMenuItem(g, {0, 0, 200, 9}, true, false, false, false, false, {}, {}, nullptr, nullptr);
    EXPECT_EQ(juce::Font::getFallbackFontName(), "Arial");
    EXPECT_NE(separator.getPixelAt(100, 4), juce::Colours::white);
}

// The box shows a language as soon as it is chosen, while the fallback font is still the one of the
// language before.
TEST_F(CustomLookAndFeelTest, LanguageBoxDrawsEachLanguageNameWithItsOwnLanguagesFontAndPutsTheFallbackBack)
{
    LangLookAndFeel look;
    auto* texts = TxtLoader::getInstance();
    juce::Font::setFallbackFontName("Arial");
    juce::Label label;
    label.setLookAndFeel(&look);
    label.setFont(juce::Font(19.0f)); // used by no other test, so that no glyph drawn elsewhere is reused
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setBounds(0, 0, 200, 24);
    for (unsigned int i = 0; i < LangCount; ++i)
    {
        const auto& name = texts->getLang(i);
        label.setText(name, juce::dontSendNotification);
        auto image = blankImage(200, 24, juce::Colours::white);
        juce::Graphics g(image);
        look.drawLabel(g, label);
        juce::Font::setFallbackFontName(texts->getFont(i));
        const float width = label.getFont().getStringWidthFloat(name);
        juce::Font::setFallbackFontName("Arial");
        EXPECT_GT(boundsOfPixels(image, isDark).getWidth(), width * 0.6f) << name;
        EXPECT_EQ(juce::Font::getFallbackFontName(), "Arial") << name;
    }
    label.setLookAndFeel(nullptr);
}

TEST_F(CustomLookAndFeelTest, ProgressFillsItsShareOfTheInnerBarInsideTheFrame)
{
    const auto half = drawBar(0.5, {});
    EXPECT_TRUE(pixelIs(half, 0, 0, frame));
    EXPECT_TRUE(pixelIs(half, 1, 10, frame));
    EXPECT_TRUE(pixelIs(half, 100, 18, frame));
    // 188 of the 376 inner pixels, light at the top, dark in the middle, a little lighter below.
    EXPECT_TRUE(pixelIs(half, 189, 9, barGrey, 3));
    EXPECT_TRUE(pixelIs(half, 190, 9, frame));
    EXPECT_TRUE(pixelIs(half, 100, 2, juce::Colour(167, 167, 167), 6));
    EXPECT_TRUE(pixelIs(half, 100, 17, juce::Colour(108, 108, 108), 1));

    EXPECT_TRUE(pixelIs(drawBar(-0.2, {}), 2, 9, frame));
    const auto full = drawBar(1.5, {});
    EXPECT_TRUE(pixelIs(full, 377, 9, barGrey, 3));
    EXPECT_TRUE(pixelIs(full, 378, 9, frame));

    const auto text = boundsOfPixels(drawBar(0.5, "50%"), isWhitish);
    EXPECT_NEAR(text.getCentreX(), 190, 3);
    EXPECT_NEAR(text.getCentreY(), 10, 3);
    EXPECT_GT(text.getHeight(), 8);
}
