#include "UpdateFileWriter.h"

#include <stdexcept>

namespace updfile
{
namespace
{
std::uint32_t crc32Byte(std::uint32_t crc, std::uint8_t byte)
{
    crc ^= (std::uint32_t)byte << 24;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    return crc;
}

// Appends the text in a field of `size` bytes, padded with zeros.
void putText(Bytes& out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? (std::uint8_t)text[i] : 0);
}

void putLittleEndian(Bytes& out, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back((std::uint8_t)(value >> (8 * i)));
}

Bytes headerBytes(const UpdateFile& file)
{
    Bytes out;
    putText(out, file.magic, 4);
    putText(out, file.formatVersion, 4);
    putLittleEndian(out, 0, 4);
    putText(out, file.model, 8);
    putText(out, file.versionDigits, 3);
    out.push_back(file.reservedAfterVersion);
    putLittleEndian(out, file.blockCount.value_or((std::uint8_t)file.blocks.size()), 4);
    return out;
}

void putRecord(Bytes& out, const UpdateFile& file, const UpdateBlock& block)
{
    putLittleEndian(out, block.keySeed, 8);
    putText(out, block.versionDigits, 4);
    out.insert(out.end(), {block.updateFlag, block.encryptedFlag, block.keyIndex, 0, 0, 0, 0, 0});
    putLittleEndian(out, block.dataSize.value_or((std::uint32_t)block.data.size()), 4);
    const std::uint32_t key = block.encryptedFlag != 0 ? file.keyFor(block) : 0;
    for (std::size_t k = 0; k < block.data.size(); ++k)
        out.push_back((std::uint8_t)(block.data[k] ^ (key >> (8 * (k % 4)))));
    putLittleEndian(
        out, (std::uint32_t)block.crc16.value_or(crc16Xmodem(block.data.data(), block.data.size())) << 16, 4);
}
} // namespace

UpdateBlock UpdateBlock::plain(Bytes data)
{
    UpdateBlock block;
    block.data = std::move(data);
    return block;
}

UpdateBlock UpdateBlock::encrypted(Bytes data, std::uint32_t keySeed, std::uint8_t keyIndex)
{
    UpdateBlock block = plain(std::move(data));
    block.encryptedFlag = 1;
    block.keySeed = keySeed;
    block.keyIndex = keyIndex;
    return block;
}

std::uint32_t UpdateFile::keyFor(const UpdateBlock& block) const
{
    // The header's words at 20 (version digits and the byte after them) and at 12 (the model's
    // first four bytes), little-endian.
    const Bytes header = headerBytes(*this);
    const auto word = [&header](std::size_t at)
    { return header[at] | header[at + 1] << 8 | header[at + 2] << 16 | (std::uint32_t)header[at + 3] << 24; };
    return keyTableEntry(block.keyIndex) ^ (word(20) + (word(12) ^ block.keySeed));
}

std::uint32_t UpdateFile::totalSize() const
{
    std::uint32_t total = 0;
    for (const auto& block : blocks)
        total += (std::uint32_t)block.data.size();
    return total;
}

Bytes UpdateFile::body() const
{
    Bytes out = headerBytes(*this);
    for (const auto& block : blocks)
        putRecord(out, *this, block);
    return out;
}

Bytes UpdateFile::bytes() const
{
    return sealed(body(), crcOrder);
}

void UpdateFile::writeTo(const juce::File& file) const
{
    writeBytes(file, bytes());
}

Bytes sealed(Bytes body, CrcOrder order)
{
    const std::uint32_t crc = crc32Mpeg2(body.data(), body.size());
    for (int i = 0; i < 4; ++i)
        body.push_back((std::uint8_t)(crc >> (order == CrcOrder::mostSignificantFirst ? 24 - 8 * i : 8 * i)));
    return body;
}

void writeBytes(const juce::File& file, const Bytes& bytes)
{
    if (!file.replaceWithData(bytes.data(), bytes.size()))
        throw std::runtime_error("cannot write " + file.getFullPathName().toStdString());
}

Bytes patternBytes(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : out)
    {
        state = state * 1664525u + 1013904223u;
        byte = (std::uint8_t)(state >> 24);
    }
    return out;
}

// Bit by bit, straight from the polynomials.
std::uint32_t crc32Mpeg2(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; ++i)
        crc = crc32Byte(crc, data[i]);
    return crc;
}

std::uint16_t crc16Xmodem(const std::uint8_t* data, std::size_t size)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
    {
        crc ^= (std::uint16_t)(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (std::uint16_t)((crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1);
    }
    return crc;
}

std::uint32_t keyTableEntry(std::uint8_t index)
{
    return crc32Byte(0, index);
}
} // namespace updfile
