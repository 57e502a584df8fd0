#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cstdint>

// Uncompressed 24- and 32-bit BMP data, for images the framework's own formats cannot read.

bool IsLittleEndian();
// A value stored low byte first, in host order.
int16_t LittleEndian16(int16_t value);
int32_t LittleEndian32(int32_t value);
// Reverses the order of the n bytes at p.
void ByteShift(char* p, int n);

// The image in data (a 54-byte header, then bottom-up rows padded to 4 bytes), or an invalid
// image when the data is not such a bitmap or is shorter than its rows.
juce::Image DecodeBmp(const char* data, int length);
