#include "AlineButton.h"
#include "CustomLookAndFeel.h"
#include "FontFixture.h"
#include "PixelProbe.h"

namespace
{
const juce::Colour buttonGrey(234, 234, 234);
const juce::Colour outlineGrey(137, 137, 137); // buttonGrey made darker by 0.7

juce::Image paintButton(AlineButton& button)
{
    auto image = transparentImage(button.getWidth(), button.getHeight());
    juce::Graphics g(image);
    button.paintEntireComponent(g, true);
    return image;
}
} // namespace

using AlineButtonTest = FontFixture;

TEST_F(AlineButtonTest, NewButtonShowsItsNameCentredInThePlainDefaultFaceOnItsOwnLook)
{
    AlineButton button("Cancel");
    button.setSize(100, 20);

    EXPECT_EQ(button.getName(), "Cancel");
    EXPECT_EQ(button.getButtonText(), "Cancel");
    EXPECT_EQ(button.getCaptionFont().getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
    EXPECT_FALSE(button.getCaptionFont().isBold());
    EXPECT_EQ(button.findColour(juce::TextButton::buttonColourId), juce::Colours::black);
    EXPECT_EQ(button.findColour(juce::TextButton::buttonOnColourId), juce::Colours::black);
    EXPECT_NE(dynamic_cast<BtnLookAndFeel*>(&button.getLookAndFeel()), nullptr);

    // Centred: the caption's ink sits in the middle of the button.
    const auto ink = boundsOfPixels(paintButton(button), {4, 4, 92, 12}, isDark);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.getCentreX(), 50, 2);
}

TEST_F(AlineButtonTest, CaptionIsAtMost13PixelsHighInTheChosenFaceAndStyle)
{
    AlineButton button("OK");
    button.setFont("Arial");
    button.setStyle(juce::Font::bold);

    const std::pair<int, float> heights[] = {{20, 13.0f}, {15, 12.0f}, {10, 8.0f}};
    for (const auto& [buttonHeight, fontHeight] : heights)
    {
        button.setSize(100, buttonHeight);
        EXPECT_FLOAT_EQ(button.getCaptionFont().getHeight(), fontHeight) << buttonHeight;
        EXPECT_EQ(button.getCaptionFont().getTypefaceName(), "Arial");
        EXPECT_TRUE(button.getCaptionFont().isBold());
    }
    button.setSize(100, 20);
    EXPECT_EQ(button.getCaptionArea(), juce::Rectangle<int>(4, 4, 92, 12));
}

TEST_F(AlineButtonTest, NewCaptionIsKeptAndAnUnchangedOneStays)
{
    AlineButton button("OK");
    button.setButtonText("Start");
    EXPECT_EQ(button.getButtonText(), "Start");
    button.setButtonText("Start");
    EXPECT_EQ(button.getButtonText(), "Start");
    EXPECT_EQ(button.getName(), "OK");
}

TEST_F(AlineButtonTest, AtRestTheFaceIsWhiteGreyWhiteInADarkerOutlineWithADarkCaption)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    const auto image = paintButton(button);

    EXPECT_TRUE(pixelIs(image, 50, 0, outlineGrey));
    EXPECT_TRUE(pixelIs(image, 50, 19, outlineGrey));
    EXPECT_TRUE(pixelIs(image, 10, 1, juce::Colours::white, 30));
    // Half circles at both ends: the corners stay empty.
    EXPECT_EQ(image.getPixelAt(0, 0).getAlpha(), 0);
    EXPECT_EQ(image.getPixelAt(99, 19).getAlpha(), 0);
    // The caption is drawn in (16, 16, 16).
    EXPECT_GT(
        countPixels(image, {4, 4, 92, 12}, [](juce::Colour c) { return c == juce::Colour(16, 16, 16); }), 0);
}

TEST_F(AlineButtonTest, HeldDownTheFaceTurnsBlueAndTheOutlineStays)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    button.setState(juce::Button::buttonDown);
    const auto image = paintButton(button);

    EXPECT_TRUE(pixelIs(image, 10, 10, juce::Colour(82, 156, 231), 12));
    EXPECT_TRUE(pixelIs(image, 50, 0, outlineGrey));
}

TEST_F(AlineButtonTest, ToggledOnTheButtonTakesItsOnColour)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    button.setColour(juce::TextButton::buttonOnColourId, juce::Colour(170, 0, 0));
    button.setToggleState(true, juce::dontSendNotification);

    EXPECT_TRUE(pixelIs(paintButton(button), 50, 0, juce::Colour(170, 0, 0).darker(0.7f)));
}

TEST_F(AlineButtonTest, ConnectedSidesGetSquareCorners)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    button.setConnectedEdges(juce::Button::ConnectedOnLeft);
    const auto image = paintButton(button);

    EXPECT_TRUE(isDark(image.getPixelAt(0, 0)) || image.getPixelAt(0, 0).getBrightness() < 0.6f);
    EXPECT_GT(image.getPixelAt(0, 0).getAlpha(), 200);
    EXPECT_GT(image.getPixelAt(0, 19).getAlpha(), 200);
    EXPECT_EQ(image.getPixelAt(99, 0).getAlpha(), 0);
    EXPECT_EQ(image.getPixelAt(99, 19).getAlpha(), 0);
    // The thinner indent lets the outline overhang the left edge.
    EXPECT_LT(image.getPixelAt(0, 10).getAlpha(), 255);
}

TEST_F(AlineButtonTest, ButtonTooNarrowForItsOutlineDrawsNothing)
{
    AlineButton button("OK");
    button.setSize(2, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    const auto image = paintButton(button);
    EXPECT_EQ(countPixels(image, image.getBounds(), [](juce::Colour c) { return c.getAlpha() != 0; }), 0);
}
