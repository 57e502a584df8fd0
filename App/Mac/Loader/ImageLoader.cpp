#include "ImageLoader.h"

#include "BmpDecoder.h"

ImageLoader* ImageLoader::m_pinstance = nullptr;

void ImageLoader::createInstance()
{
    if (m_pinstance == nullptr)
        m_pinstance = new ImageLoader();
}

ImageLoader* ImageLoader::getInstance()
{
    createInstance();
    return m_pinstance;
}

void ImageLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

ImageLoader::ImageLoader() : m_images{}
{
    for (unsigned int i = 0; i < ImageCount; ++i)
        Load(i, &m_images[i]);
}

// Dropping our copy gives the reference back; the cache frees the image later.
ImageLoader::~ImageLoader()
{
    for (juce::Image* image : m_images)
        delete image;
}

juce::Image* ImageLoader::getImage(unsigned int i) const
{
    return i < ImageCount ? m_images[i] : nullptr;
}

void ImageLoader::Load(unsigned int i, juce::Image** out)
{
    *out = nullptr;
    if (i >= ImageCount || pimageList[i].data == nullptr || pimageList[i].length == nullptr)
        return;
    const char* data = *pimageList[i].data;
    const int length = *pimageList[i].length;
    if (data == nullptr || length <= 0)
        return;

    juce::Image image = juce::ImageCache::getFromMemory(data, length);
    if (image.isNull())
    {
        image = DecodeBmp(data, length);
        // Cached under the data's address, as the framework caches what it decodes itself, so that
        // the next lookup of the same data finds it.
        juce::ImageCache::addImageToCache(
            image, static_cast<juce::int64>(reinterpret_cast<juce::pointer_sized_int>(data)));
    }
    if (image.isValid())
        *out = new juce::Image(image);
}
