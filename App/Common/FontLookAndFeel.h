#pragma once

#include "FontResolver.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>

// The look whose getTypefaceForFont gives every juce::Font, and the fallback font, its typeface.
// JUCE asks only the default look-and-feel for typefaces, so one instance must be installed with
// installAsDefault for the Mac font names and per-character fallback to work. JUCE itself forgets
// a default look that is deleted; typefaces already handed out stay usable.
class FontLookAndFeel : public juce::LookAndFeel_V2
{
public:
    // Makes this the default look and drops typefaces that JUCE resolved before.
    void installAsDefault();

    // The typeface of an installed face that stands in for the font's name and style; falls back
    // to JUCE's own choice when no installed face can be read.
    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;

private:
    juce::Typeface::Ptr typefaceFor(const InstalledFace& face);

    juce::CriticalSection lock;
    std::map<std::pair<juce::String, juce::String>, InstalledFace> facesByName;
    std::map<InstalledFace, juce::Typeface::Ptr> typefaces;
};
