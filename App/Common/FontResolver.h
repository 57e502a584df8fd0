#pragma once

#include <juce_graphics/juce_graphics.h>

#include <tuple>

// One face of an installed font file; a collection (.ttc) holds several, told apart by index.
struct InstalledFace
{
    juce::String file;
    int index = 0;
    // The Mac's Chinese, Japanese and Korean fonts fill the font height with their em square, where
    // the faces standing in for them declare a taller line: such a face is drawn at its em square.
    bool emFillsHeight = false;

    bool isValid() const { return file.isNotEmpty(); }
    bool operator<(const InstalledFace& other) const
    {
        return std::tie(file, index, emFillsHeight) < std::tie(other.file, other.index, other.emFillsHeight);
    }
};

// The installed face that stands in for a typeface name and style as a juce::Font gives them.
// The names are those of the Mac (for example "Heiti SC"); each is asked of fontconfig together
// with the language it serves, so that a Chinese, Korean or Japanese name gets a face drawn for
// that language. JUCE's placeholder names ("<Sans-Serif>" and the like) map to fontconfig's
// generic families, and a style containing "Bold" or "Italic" asks for that weight or slant.
// The locale of the process plays no part: every locale finds the faces that the C locale finds.
// Gives an invalid face only when fontconfig knows no font at all.
InstalledFace findInstalledFace(const juce::String& typefaceName, const juce::String& typefaceStyle);

// The fontconfig language code that a typeface name serves, or an empty string for none in particular.
juce::String languageServedBy(const juce::String& typefaceName);
