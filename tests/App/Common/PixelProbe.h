#pragma once

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <functional>

// Reading what a drawing left in an image.

inline juce::Image transparentImage(int width, int height)
{
    return juce::Image(juce::Image::ARGB, width, height, true);
}

inline juce::Image whiteImage(int width, int height)
{
    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics(image).fillAll(juce::Colours::white);
    return image;
}

// Whether a pixel is within tolerance of an opaque colour, channel by channel.
inline ::testing::AssertionResult pixelIs(const juce::Image& image, int x, int y, juce::Colour expected,
                                          int tolerance = 0)
{
    const auto actual = image.getPixelAt(x, y);
    const bool close = std::abs(actual.getRed() - expected.getRed()) <= tolerance &&
                       std::abs(actual.getGreen() - expected.getGreen()) <= tolerance &&
                       std::abs(actual.getBlue() - expected.getBlue()) <= tolerance &&
                       actual.getAlpha() == expected.getAlpha();
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.toString()
                                         << ", expected " << expected.toString() << " within " << tolerance;
}

// The number of pixels in an area that satisfy a condition.
inline int countPixels(const juce::Image& image, juce::Rectangle<int> area,
                       const std::function<bool(juce::Colour)>& condition)
{
    int count = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (condition(image.getPixelAt(x, y)))
                ++count;
    return count;
}

// The smallest box around the pixels that satisfy a condition.
inline juce::Rectangle<int> boundsOfPixels(const juce::Image& image, juce::Rectangle<int> area,
                                           const std::function<bool(juce::Colour)>& condition)
{
    juce::Rectangle<int> found;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (condition(image.getPixelAt(x, y)))
                found = found.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1) : found.getUnion({x, y, 1, 1});
    return found;
}

inline bool isDark(juce::Colour c)
{
    return c.getAlpha() > 128 && c.getBrightness() < 0.4f;
}
