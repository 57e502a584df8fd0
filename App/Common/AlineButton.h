#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BtnLookAndFeel;

// A push button that draws its own one-line caption in a typeface name, style and justification
// chosen by its owner. Its background comes from a BtnLookAndFeel of its own.
class AlineButton : public juce::Button
{
public:
    explicit AlineButton(const juce::String& buttonName);
    ~AlineButton() override;

    // Repaints even when the caption stays: a new typeface must show too.
    void setButtonText(const juce::String& newText);
    // These take effect at the next painting.
    void setAline(const juce::Justification& justification);
    void setFont(const juce::String& typefaceName);
    void setStyle(const int& styleFlags);

    // The caption's font: the typeface name and style set here, at most 13 pixels high.
    juce::Font getCaptionFont() const;
    // The caption's box: the bounds inset by 4 on every side.
    juce::Rectangle<int> getCaptionArea() const;

protected:
    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;

private:
    BtnLookAndFeel* m_lookAndFeel;
    juce::Justification m_aline;
    juce::String m_fontName;
    int m_style;

    JUCE_DECLARE_NON_COPYABLE(AlineButton)
};
