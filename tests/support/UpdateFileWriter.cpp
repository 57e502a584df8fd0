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

void putText(Bytes& out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? (std::uint8_t)text[i] : 0);
}

void putLittleEndian(Bytes& out, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back((std::uint8_t)(value >> (8 * i)));
}

void putZeros(Bytes& out, std::size_t count)
{
    out.insert(out.end(), count, 0);
}

std::uint32_t littleEndianWord(const Bytes& bytes, std::size_t offset)
{
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i)
        word = word << 8 | bytes[offset + (std::size_t)i];
    return word;
}

Bytes headerBytes(const UpdateFile& file)
{
    Bytes out;
    putText(out, file.magic, 4);
    putText(out, file.formatVersion, 4);
    putZeros(out, 4);
    putText(out, file.model, 8);
    putText(out, file.versionDigits, 3);
    out.push_back(file.reservedAfterVersion);
    out.push_back(file.blockCount.value_or((std::uint8_t)file.blocks.size()));
    putZeros(out, 3);
    return out;
}

void putRecord(Bytes& out, const UpdateFile& file, const UpdateBlock& block)
{
    putLittleEndian(out, block.keySeed, 4);
    putZeros(out, 4);
    putText(out, block.versionDigits, 4);
    out.push_back(block.updateFlag);
    out.push_back(block.encryptedFlag);
    out.push_back(block.keyIndex);
    putZeros(out, 5);
    putLittleEndian(out, block.dataSize.value_or((std::uint32_t)block.data.size()), 4);

    const std::uint32_t key = block.encryptedFlag != 0 ? file.keyFor(block) : 0;
    for (std::size_t k = 0; k < block.data.size(); ++k)
        out.push_back((std::uint8_t)(block.data[k] ^ (key >> (8 * (k % 4)))));

    putZeros(out, 2);
    putLittleEndian(out, block.crc16.value_or(crc16Xmodem(block.data.data(), block.data.size())), 2);
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
    UpdateBlock block;
    block.data = std::move(data);
    block.encryptedFlag = 1;
    block.keySeed = keySeed;
    block.keyIndex = keyIndex;
    return block;
}

std::uint32_t UpdateFile::keyFor(const UpdateBlock& block) const
{
    const Bytes header = headerBytes(*this);
    const std::uint32_t versionWord = littleEndianWord(header, 20);
    const std::uint32_t modelWord = littleEndianWord(header, 12);
    return keyTableEntry(block.keyIndex) ^ (versionWord + (modelWord ^ block.keySeed));
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
    {
        const int shift = order == CrcOrder::mostSignificantFirst ? 24 - 8 * i : 8 * i;
        body.push_back((std::uint8_t)(crc >> shift));
    }
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
