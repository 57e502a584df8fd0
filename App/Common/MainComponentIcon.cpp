#include "MainComponent.h"

namespace
{
enum
{
    iconNone = 0,
    iconWarning = 2,
    iconInformation = 3
};

struct Icon
{
    juce::Path shape;
    juce::String character;
    juce::Colour fill;
    juce::Colour characterColour;
    float characterTop;
};

Icon iconFor(int iconType, juce::Rectangle<float> square)
{
    Icon icon;
    if (iconType == iconWarning)
    {
        icon.shape.addTriangle(square.getX() + square.getWidth() * 0.5f, square.getY(), square.getRight(),
                               square.getBottom(), square.getX(), square.getBottom());
        icon.shape = icon.shape.createPathWithRoundedCorners(5.0f);
        icon.character = "!";
        icon.fill = juce::Colour(0x99ffff00);
        icon.characterColour = juce::Colour(0x99000000);
        icon.characterTop = (float)(int)(square.getY() * 1.5f);
    }
    else
    {
        icon.shape.addEllipse(square);
        icon.character = iconType == iconInformation ? "i" : "?";
        icon.fill = juce::Colour(0x99ffffff);
        icon.characterColour = juce::Colour(0x990000ff);
        icon.characterTop = square.getY();
    }
    return icon;
}
} // namespace

void MainComponent::drawIcon(juce::Graphics& g, int iconType)
{
    if (iconType == iconNone)
        return;

    const juce::Rectangle<float> square(20.0f, 15.0f, 64.0f, 64.0f);
    Icon icon = iconFor(iconType, square);

    icon.shape.setUsingNonZeroWinding(false);
    g.setColour(icon.fill);
    g.fillPath(icon.shape);
    g.setColour(juce::Colour(0x99000000));
    g.strokePath(icon.shape, juce::PathStrokeType(4.0f));

    g.setColour(icon.characterColour);
    g.setFont(juce::Font(square.getHeight() * 0.9f, juce::Font::bold));
    g.drawFittedText(icon.character, (int)square.getX(), (int)icon.characterTop, (int)square.getWidth(),
                     (int)square.getHeight(), juce::Justification::centred, 0, 0.7f);
}
