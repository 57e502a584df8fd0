#pragma once

#include "Table.h"

#include <juce_graphics/juce_graphics.h>

// Decodes the images of the image table once, when created, and hands them out by index.
// Each image is shared with the framework's image cache.
class ImageLoader
{
public:
    static void createInstance();
    static ImageLoader* getInstance();
    static void releaseInstance();

    virtual ~ImageLoader();

    // Image i, or null when there is none or it could not be decoded. The caller neither keeps
    // nor deletes it.
    juce::Image* getImage(unsigned int i) const;
    // Decodes entry i of the image table into *out, left null when the data cannot be read.
    void Load(unsigned int i, juce::Image** out);

private:
    ImageLoader();
    ImageLoader(const ImageLoader&) = delete;
    ImageLoader& operator=(const ImageLoader&) = delete;

    juce::Image* m_images[ImageCount];

    static ImageLoader* m_pinstance;
};
