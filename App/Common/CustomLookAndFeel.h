#pragma once

#include "FontLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The looks of the program's own widgets. Each keeps the fonts of FontLookAndFeel.

// The background of an AlineButton: a lozenge with a vertical white-grey-white gradient, blue
// while held down, outlined in a darker shade of the button colour.
class BtnLookAndFeel : public FontLookAndFeel
{
public:
    BtnLookAndFeel() {}
    ~BtnLookAndFeel() override {}

    void drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                              bool isMouseOverButton, bool isButtonDown) override;

    // A negative corner size rounds the ends into half circles. A box not larger than the outline
    // thickness draws nothing.
    static void drawBackground(juce::Graphics& g, float x, float y, float width, float height,
                               const juce::Colour& backgroundColour, float outlineThickness, float cornerSize,
                               bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                               bool isButtonDown);
};

// The language box and its menu: a dark blue highlight, and each language's name, in the box as
// in the menu, drawn with that language's font supplying the characters that the box's font lacks.
class LangLookAndFeel : public FontLookAndFeel
{
public:
    LangLookAndFeel() {}
    ~LangLookAndFeel() override {}

    // The box shows a chosen language at once, before the page takes that language's font. JUCE
    // keeps the layout of a text for its next paints whatever the fallback font: a name laid out
    // once without its glyphs would stay blank.
    void drawLabel(juce::Graphics& g, juce::Label& label) override;

    void drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                           bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                           const juce::String& text, const juce::String& shortcutKeyText,
                           const juce::Drawable* icon, const juce::Colour* textColour) override;
};

// The progress bar: a grey gradient inside a 2-pixel frame of the bar's background colour, with
// the percentage in white.
class ProgressLookAndFeel : public FontLookAndFeel
{
public:
    ProgressLookAndFeel() {}
    ~ProgressLookAndFeel() override {}

    void drawProgressBar(juce::Graphics& g, juce::ProgressBar& progressBar, int width, int height,
                         double progress, const juce::String& textToShow) override;
};
