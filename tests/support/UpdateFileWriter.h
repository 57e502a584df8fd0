#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds update files byte for byte from the format's tables, for tests and benchmarks.
//
//     UpdateFile file;
//     file.versionDigits = "123";
//     file.blocks.push_back(UpdateBlock::plain(patternBytes(100)));
//     file.blocks.push_back(UpdateBlock::encrypted(patternBytes(64, 7), 0x12345678, 42));
//     file.writeTo(juce::File("/tmp/TRV-Q8_UP.upd"));
namespace updfile
{
using Bytes = std::vector<std::uint8_t>;

struct UpdateBlock
{
    Bytes data;                     // the firmware bytes as the device receives them
    std::uint8_t updateFlag = 'Y';  // 'Y': to be written
    std::uint8_t encryptedFlag = 0; // non-zero: stored encrypted
    std::uint32_t keySeed = 0;
    std::uint8_t keyIndex = 0;
    std::string versionDigits = "0100";    // four bytes, hexadecimal digits
    std::optional<std::uint16_t> crc16;    // stored CRC-16; that of data when empty
    std::optional<std::uint32_t> dataSize; // stored size; that of data when empty

    static UpdateBlock plain(Bytes data);
    static UpdateBlock encrypted(Bytes data, std::uint32_t keySeed, std::uint8_t keyIndex);
};

enum class CrcOrder
{
    mostSignificantFirst, // as the format wants it
    leastSignificantFirst
};

struct UpdateFile
{
    std::string magic = "UPD ";
    std::string formatVersion = "0100";
    std::string model = "TRV-Q8  ";
    std::string versionDigits = "123";      // three bytes, decimal digits
    std::uint8_t reservedAfterVersion = 0;  // enters every block key
    std::optional<std::uint8_t> blockCount; // stored count; that of blocks when empty
    std::vector<UpdateBlock> blocks;
    CrcOrder crcOrder = CrcOrder::mostSignificantFirst;

    // Everything before the trailing CRC-32.
    Bytes body() const;
    // The whole file.
    Bytes bytes() const;
    void writeTo(const juce::File& file) const;

    std::uint32_t keyFor(const UpdateBlock& block) const;
    std::uint32_t totalSize() const;
};

// Appends the CRC-32 of body in the given order.
Bytes sealed(Bytes body, CrcOrder order = CrcOrder::mostSignificantFirst);
void writeBytes(const juce::File& file, const Bytes& bytes);

// Reproducible bytes that differ from block to block.
Bytes patternBytes(std::size_t size, std::uint32_t seed = 1);

std::uint32_t crc32Mpeg2(const std::uint8_t* data, std::size_t size);
std::uint16_t crc16Xmodem(const std::uint8_t* data, std::size_t size);
// Entry i of the MSB-first CRC-32 table, which serves as the key table.
std::uint32_t keyTableEntry(std::uint8_t index);
} // namespace updfile
