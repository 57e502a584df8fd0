#pragma once

#include "FontLookAndFeel.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// Brings JUCE's GUI classes up once per test suite (no window, no display) with the program's
// FontLookAndFeel as the default look, and restores the fallback font name after every test.
class FontFixture : public ::testing::Test
{
public:
    static void SetUpTestSuite()
    {
        gui = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        look = std::make_unique<FontLookAndFeel>();
        look->installAsDefault();
    }

    static void TearDownTestSuite()
    {
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        look.reset();
        gui.reset();
    }

protected:
    static FontLookAndFeel& programLook() { return *look; }

    void TearDown() override { juce::Font::setFallbackFontName(savedFallback); }

private:
    juce::String savedFallback = juce::Font::getFallbackFontName();

    static inline std::unique_ptr<juce::ScopedJuceInitialiser_GUI> gui;
    static inline std::unique_ptr<FontLookAndFeel> look;
};
