#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Find characters that would show as a missing-glyph box or a blank: those that neither the
// font's typeface nor the fallback typeface (juce::Font::setFallbackFontName) has a visible glyph
// for. They need the program's FontLookAndFeel as the default look; under any other look every
// character counts as missing, because JUCE's own typefaces draw a box that they never report.
// Control characters (line breaks) are laid out, not drawn, and are never reported.

// The characters of a text, drawn in a font, that have no glyph.
juce::String charactersWithoutGlyph(const juce::Font& font, const juce::String& text);

// The characters that an arrangement's glyphs stand for but would not draw.
juce::String charactersWithoutGlyph(const juce::GlyphArrangement& glyphs);
