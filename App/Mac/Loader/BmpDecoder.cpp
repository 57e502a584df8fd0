#include "BmpDecoder.h"

#include <cstring>
#include <memory>
#include <new>

namespace
{

constexpr int PixelRowsOffset = 54; // after the 14-byte file header and the 40-byte info header
constexpr int WidthOffset = 18;
constexpr int HeightOffset = 22;
constexpr int BitsPerPixelOffset = 28;

struct BmpLayout
{
    int width;
    int height;
    int bytesPerPixel;
    int stride;
};

int32_t read32(const char* p)
{
    int32_t value;
    std::memcpy(&value, p, sizeof value);
    return LittleEndian32(value);
}

int16_t read16(const char* p)
{
    int16_t value;
    std::memcpy(&value, p, sizeof value);
    return LittleEndian16(value);
}

// Top-down (negative) heights and mirrored widths are refused, as is data shorter than its rows.
bool readLayout(const char* data, int length, BmpLayout& layout)
{
    if (length < PixelRowsOffset || data[0] != 'B' || data[1] != 'M')
        return false;
    const int bitsPerPixel = read16(data + BitsPerPixelOffset);
    layout.width = read32(data + WidthOffset);
    layout.height = read32(data + HeightOffset);
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || layout.width <= 0 || layout.height <= 0)
        return false;
    layout.bytesPerPixel = bitsPerPixel / 8;
    const int64_t stride = (int64_t{layout.width} * layout.bytesPerPixel + 3) / 4 * 4;
    const int64_t available = length - PixelRowsOffset;
    if (stride > available || stride * layout.height > available)
        return false;
    layout.stride = static_cast<int>(stride);
    return true;
}

// After ByteShift a pixel reads R, G, B or A, R, G, B.
juce::Colour colourOf(const char* pixel, int bytesPerPixel)
{
    const auto* p = reinterpret_cast<const juce::uint8*>(pixel);
    if (bytesPerPixel == 3)
        return juce::Colour(p[0], p[1], p[2]);
    return juce::Colour(p[1], p[2], p[3], p[0]);
}

void copyRows(char* rows, const BmpLayout& layout, juce::Image& image)
{
    const juce::Image::BitmapData bitmap(image, juce::Image::BitmapData::writeOnly);
    for (int r = 0; r < layout.height; ++r)
    {
        char* row = rows + static_cast<size_t>(r) * static_cast<size_t>(layout.stride);
        for (int x = 0; x < layout.width; ++x)
        {
            char* pixel = row + x * layout.bytesPerPixel;
            ByteShift(pixel, layout.bytesPerPixel);
            bitmap.setPixelColour(x, layout.height - 1 - r, colourOf(pixel, layout.bytesPerPixel));
        }
    }
}

} // namespace

bool IsLittleEndian()
{
    const int16_t one = 1;
    char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

int16_t LittleEndian16(int16_t value)
{
    if (!IsLittleEndian())
        ByteShift(reinterpret_cast<char*>(&value), sizeof value);
    return value;
}

int32_t LittleEndian32(int32_t value)
{
    if (!IsLittleEndian())
        ByteShift(reinterpret_cast<char*>(&value), sizeof value);
    return value;
}

void ByteShift(char* p, int n)
{
    for (int k = 0; k < n / 2; ++k)
        std::swap(p[k], p[n - 1 - k]);
}

juce::Image DecodeBmp(const char* data, int length)
{
    BmpLayout layout;
    if (data == nullptr || !readLayout(data, length, layout))
        return {};
    // The rows are byte-shifted in place, so they are worked on in a copy.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(length)]);
    if (buffer == nullptr)
        return {};
    std::memcpy(buffer.get(), data, static_cast<size_t>(length));
    juce::Image image(layout.bytesPerPixel == 3 ? juce::Image::RGB : juce::Image::ARGB, layout.width,
                      layout.height, true);
    copyRows(buffer.get() + PixelRowsOffset, layout, image);
    return image;
}
