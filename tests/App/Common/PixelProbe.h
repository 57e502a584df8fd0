#pragma once

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <functional>

// Reading what a drawing left in an image.

inline juce::Image blankImage(int width, int height, juce::Colour fill = juce::Colours::transparentBlack)
{
    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics(image).fillAll(fill);
    return image;
}

// Whether a pixel is an opaque colour, each channel within tolerance.
inline ::testing::AssertionResult pixelIs(const juce::Image& image, int x, int y, juce::Colour expected,
                                          int tolerance = 0)
{
    const auto actual = image.getPixelAt(x, y);
    for (const auto& [a, e] : {std::pair<int, int>{actual.getRed(), expected.getRed()},
                               {actual.getGreen(), expected.getGreen()},
                               {actual.getBlue(), expected.getBlue()}})
        if (std::abs(a - e) > tolerance || actual.getAlpha() != expected.getAlpha())
            return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                                 << actual.toString() << ", not " << expected.toString();
    return ::testing::AssertionSuccess();
}

// The smallest box around the pixels of an image that satisfy a condition.
inline juce::Rectangle<int> boundsOfPixels(const juce::Image& image,
                                           const std::function<bool(juce::Colour)>& is)
{
    juce::Rectangle<int> found;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (is(image.getPixelAt(x, y)))
                found = found.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1) : found.getUnion({x, y, 1, 1});
    return found;
}

inline bool isDark(juce::Colour c)
{
    return c.getAlpha() > 128 && c.getBrightness() < 0.4f;
}

inline bool isWhitish(juce::Colour c)
{
    return c.getAlpha() > 128 && c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200;
}

inline bool isPainted(juce::Colour c)
{
    return c.getAlpha() != 0;
}
