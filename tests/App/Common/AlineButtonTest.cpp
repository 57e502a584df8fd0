#include "AlineButton.h"
#include "CustomLookAndFeel.h"
#include "FontFixture.h"
#include "PixelProbe.h"

namespace
{
const juce::Colour buttonGrey(234, 234, 234);
const juce::Colour outlineGrey(137, 137, 137); // buttonGrey made darker by 0.7

juce::Image paint(AlineButton& button)
{
    auto image = blankImage(button.getWidth(), button.getHeight());
    juce::Graphics g(image);
    button.paintEntireComponent(g, true);
    return image;
}
} // namespace

using AlineButtonTest = FontFixture;

TEST_F(AlineButtonTest, CaptionIsCentredAndFollowsANewText)
{
    AlineButton button("Cancel");
    button.setSize(100, 20);
    EXPECT_EQ(button.getButtonText(), "Cancel");
    EXPECT_NEAR(boundsOfPixels(paint(button), isDark).getCentreX(), 50, 2);
    button.setButtonText("Start");
    EXPECT_EQ(button.getButtonText(), "Start");
}

TEST_F(AlineButtonTest, CaptionIsAtMost13PixelsHighInTheChosenFaceAndStyle)
{
    AlineButton button("OK");
    button.setFont("Arial");
    button.setStyle(juce::Font::bold);
    for (const auto& [buttonHeight, fontHeight] : {std::pair{20, 13.0f}, {15, 12.0f}, {10, 8.0f}})
    {
        button.setSize(100, buttonHeight);
        EXPECT_FLOAT_EQ(button.getCaptionFont().getHeight(), fontHeight) << buttonHeight;
        EXPECT_EQ(button.getCaptionFont().getTypefaceName(), "Arial");
        EXPECT_TRUE(button.getCaptionFont().isBold());
    }
    button.setSize(100, 20);
    EXPECT_EQ(button.getCaptionArea(), juce::Rectangle<int>(4, 4, 92, 12));
}

TEST_F(AlineButtonTest, FaceIsALozengeInADarkerOutlineThatTurnsBlueWhileHeldDown)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    auto image = paint(button);
    EXPECT_TRUE(pixelIs(image, 50, 0, outlineGrey));
    EXPECT_TRUE(pixelIs(image, 10, 1, juce::Colours::white, 30));
    EXPECT_FALSE(isPainted(image.getPixelAt(0, 0)));
    EXPECT_EQ(boundsOfPixels(image, [](juce::Colour c) { return c == juce::Colour(16, 16, 16); }).isEmpty(),
              false);

    button.setState(juce::Button::buttonDown);
    image = paint(button);
    EXPECT_TRUE(pixelIs(image, 10, 10, juce::Colour(82, 156, 231), 12));
    EXPECT_TRUE(pixelIs(image, 50, 0, outlineGrey));

    button.setColour(juce::TextButton::buttonOnColourId, juce::Colour(170, 0, 0));
    button.setToggleState(true, juce::dontSendNotification);
    EXPECT_TRUE(pixelIs(paint(button), 50, 0, juce::Colour(170, 0, 0).darker(0.7f)));
}

TEST_F(AlineButtonTest, ConnectedSidesGetSquareCornersAndTooNarrowAButtonDrawsNothing)
{
    AlineButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, buttonGrey);
    button.setConnectedEdges(juce::Button::ConnectedOnLeft);
    const auto image = paint(button);
    EXPECT_GT(image.getPixelAt(0, 0).getAlpha(), 200);
    EXPECT_GT(image.getPixelAt(0, 19).getAlpha(), 200);
    EXPECT_FALSE(isPainted(image.getPixelAt(99, 0)));
    // The thinner indent lets the outline overhang the left edge.
    EXPECT_LT(image.getPixelAt(0, 10).getAlpha(), 255);

    button.setConnectedEdges(0);
    button.setSize(2, 20);
    EXPECT_TRUE(boundsOfPixels(paint(button), isPainted).isEmpty());
}
