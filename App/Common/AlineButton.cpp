#include "AlineButton.h"

#include "CustomLookAndFeel.h"

namespace
{
const juce::Colour captionColour(16, 16, 16);
const float largestCaptionHeight = 13.0f;
const int captionInset = 4;
} // namespace

AlineButton::AlineButton(const juce::String& buttonName)
    : juce::Button(buttonName), m_lookAndFeel(nullptr), m_aline(juce::Justification::centred),
      m_fontName(juce::Font::getDefaultSansSerifFontName()), m_style(juce::Font::plain)
{
    m_lookAndFeel = new BtnLookAndFeel();
    setLookAndFeel(m_lookAndFeel);
    setColour(juce::TextButton::buttonColourId, juce::Colours::black);
    setColour(juce::TextButton::buttonOnColourId, juce::Colours::black);
}

AlineButton::~AlineButton()
{
    // The component must not keep pointing at a look that is gone.
    setLookAndFeel(nullptr);
    delete m_lookAndFeel;
    m_lookAndFeel = nullptr;
}

void AlineButton::setButtonText(const juce::String& newText)
{
    if (newText == getButtonText())
        repaint();
    else
        juce::Button::setButtonText(newText);
}

void AlineButton::setAline(const juce::Justification& justification)
{
    m_aline = justification;
}

void AlineButton::setFont(const juce::String& typefaceName)
{
    m_fontName = typefaceName;
}

void AlineButton::setStyle(const int& styleFlags)
{
    m_style = styleFlags;
}

juce::Font AlineButton::getCaptionFont() const
{
    return juce::Font(m_fontName, juce::jmin(largestCaptionHeight, 0.8f * (float)getHeight()), m_style);
}

juce::Rectangle<int> AlineButton::getCaptionArea() const
{
    return getLocalBounds().reduced(captionInset);
}

void AlineButton::paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    const int colourId = juce::TextButton::buttonColourId | (getToggleState() ? 1 : 0);
    getLookAndFeel().drawButtonBackground(g, *this, findColour(colourId, false), isMouseOverButton,
                                          isButtonDown);

    g.setFont(getCaptionFont());
    g.setColour(captionColour);
    g.drawFittedText(getButtonText(), getCaptionArea(), m_aline, 1, 0.7f);
}
