#include "MainComponent.h"
#include "SpecialLocation.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr juce::uint32 crc32Polynomial = 0x04C11DB7;
constexpr juce::uint16 crc16Polynomial = 0x1021;
constexpr juce::uint32 trailingCrcSize = 4;
constexpr juce::uint32 recordTrailerSize = 4; // two reserved bytes, then the CRC-16

// Every block the start report can list, each carrying its share of the largest total it can announce.
constexpr juce::uint32 largestValidFileSize =
    sizeof(upd_header_t) + MainComponent::maxWrittenBlocks * (sizeof(firmware_header_t) + recordTrailerSize) +
    MainComponent::largestTransferSize + trailingCrcSize;

constexpr juce::uint32 crc32TableEntry(juce::uint32 index)
{
    juce::uint32 r = index << 24;
    for (int bit = 0; bit < 8; ++bit)
        r = (r & 0x80000000u) ? (r << 1) ^ crc32Polynomial : r << 1;
    return r;
}

constexpr juce::uint16 crc16TableEntry(juce::uint32 index)
{
    juce::uint32 r = index << 8;
    for (int bit = 0; bit < 8; ++bit)
        r = (r & 0x8000u) ? (r << 1) ^ crc16Polynomial : r << 1;
    return (juce::uint16)r;
}

// Tables for eight bytes per step: entry k of a value is its CRC followed by k zero bytes.
template <typename Word, Word (*entry)(juce::uint32)> constexpr auto makeSlicingTables()
{
    constexpr int shift = 8 * sizeof(Word) - 8;
    std::array<std::array<Word, 256>, 8> tables{};
    for (juce::uint32 i = 0; i < 256; ++i)
        tables[0][i] = entry(i);
    for (int k = 1; k < 8; ++k)
        for (juce::uint32 i = 0; i < 256; ++i)
        {
            const Word previous = tables[k - 1][i];
            tables[k][i] = (Word)((Word)(previous << 8) ^ tables[0][previous >> shift]);
        }
    return tables;
}

constexpr auto crc32Slices = makeSlicingTables<juce::uint32, crc32TableEntry>();
constexpr auto crc16Slices = makeSlicingTables<juce::uint16, crc16TableEntry>();

juce::uint32 littleEndian32(const unsigned char* p)
{
    return (juce::uint32)p[0] | (juce::uint32)p[1] << 8 | (juce::uint32)p[2] << 16 | (juce::uint32)p[3] << 24;
}

juce::uint16 littleEndian16(const unsigned char* p)
{
    return (juce::uint16)(p[0] | p[1] << 8);
}

juce::uint32 crc16Step(juce::uint32 crc, unsigned char byte)
{
    return (juce::uint16)(crc << 8) ^ crc16Slices[0][((crc >> 8) ^ byte) & 0xFF];
}

bool isKnownHeader(const upd_header_t& header)
{
    return std::memcmp(header.magic, "UPD ", 4) == 0 && std::memcmp(header.formatVersion, "0100", 4) == 0 &&
           std::memcmp(header.model, "TRV-Q8  ", 8) == 0;
}

int versionOf(const upd_header_t& header)
{
    const auto digit = [&](int i) { return (int)header.versionDigits[i] - 0x30; };
    return digit(0) * 100 + digit(1) * 10 + digit(2);
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd; }

private:
    const int fd;
};

bool isRegularFile(const struct stat& status)
{
    return S_ISREG(status.st_mode);
}

// The update file opened for reading, or -1. Only a regular file is opened at all: a named pipe or
// a device in its place would block the opening, or answer a read for ever. The opening never
// blocks, and the file opened must be the regular file that was looked at.
int openUpdateFile(const juce::File& file)
{
    const auto path = file.getFullPathName().toRawUTF8();
    struct stat named, opened;
    if (::stat(path, &named) != 0 || !isRegularFile(named))
        return -1;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 && (fstat(fd, &opened) != 0 || !isRegularFile(opened) || opened.st_ino != named.st_ino ||
                    opened.st_dev != named.st_dev))
    {
        ::close(fd);
        return -1;
    }
    return fd;
}

// False unless exactly `length` bytes could be read: a file that shrinks while it is read is refused.
bool readFully(int fd, unsigned char* buffer, juce::uint32 length)
{
    for (juce::uint32 done = 0; done < length;)
    {
        const ssize_t count = ::read(fd, buffer + done, length - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += (juce::uint32)count;
    }
    return true;
}

void decryptInto(unsigned char* out, const unsigned char* in, juce::uint32 size, juce::uint32 key)
{
    juce::uint32 k = 0;
    for (; k + 4 <= size; k += 4)
    {
        const auto word =
            juce::ByteOrder::swapIfBigEndian(MainComponent::decryptData(littleEndian32(in + k), key));
        std::memcpy(out + k, &word, 4);
    }
    for (int shift = 0; k < size; ++k, shift += 8)
        out[k] = (unsigned char)(in[k] ^ (key >> shift));
}
} // namespace

void MainComponent::initCRC32()
{
    for (juce::uint32 i = 0; i < 256; ++i)
        crcTable[i] = crc32TableEntry(i);
}

juce::uint32 MainComponent::calcCRC32(const unsigned char* data, juce::uint32 length) const
{
    if (data == nullptr)
        return 0;
    return updateCRC32(0xFFFFFFFF, data, length);
}

juce::uint32 MainComponent::updateCRC32(juce::uint32 crc, const unsigned char* data,
                                        juce::uint32 length) const
{
    const auto& t = crc32Slices;
    for (; length >= 8; length -= 8, data += 8)
    {
        const juce::uint32 high = crc ^ ((juce::uint32)data[0] << 24 | (juce::uint32)data[1] << 16 |
                                         (juce::uint32)data[2] << 8 | data[3]);
        crc = t[7][high >> 24] ^ t[6][(high >> 16) & 0xFF] ^ t[5][(high >> 8) & 0xFF] ^ t[4][high & 0xFF] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; --length, ++data)
        crc = (crc << 8) ^ crcTable[(crc >> 24) ^ *data];
    return crc;
}

juce::uint16 MainComponent::calcCRC16(const unsigned char* data, int length)
{
    if (data == nullptr || length <= 0)
        return 0;
    const auto& t = crc16Slices;
    juce::uint32 crc = 0;
    for (; length >= 8; length -= 8, data += 8)
    {
        const juce::uint32 high = crc ^ ((juce::uint32)data[0] << 8 | data[1]);
        crc = t[7][high >> 8] ^ t[6][high & 0xFF] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
              t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; --length, ++data)
        crc = crc16Step(crc, *data);
    return (juce::uint16)crc;
}

juce::uint8 MainComponent::ConvertAsciiToHex(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return (juce::uint8)(c - '0');
    if (c >= 'a' && c <= 'f')
        return (juce::uint8)(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return (juce::uint8)(c - 'A' + 10);
    return 0;
}

juce::uint32 MainComponent::createEncryptionKey(const juce::uint32* table, const upd_header_t& header,
                                                const firmware_header_t& record)
{
    const unsigned char versionWord[4] = {header.versionDigits[0], header.versionDigits[1],
                                          header.versionDigits[2], header.reserved2};
    const juce::uint32 tableEntry = table[record.keyIndex];
    const juce::uint32 h20 = littleEndian32(versionWord);
    const juce::uint32 h12 = littleEndian32(header.model);
    const juce::uint32 seed = littleEndian32(record.keySeed);
    return tableEntry ^ (h20 + (h12 ^ seed));
}

int MainComponent::isFileValid(int checkResult, const upd_info_t& info)
{
    return checkResult > 0 && info.version > 0 ? 1 : 0;
}

int MainComponent::checkUPD(const juce::String& fileName, upd_info_t* info, fw_info_t* blocks)
{
    const auto file =
        getSpecialLocation(juce::File::currentExecutableFile).getParentDirectory().getChildFile(fileName);
    const FileDescriptor fd(openUpdateFile(file));
    struct stat status;
    if (fd.get() < 0 || fstat(fd.get(), &status) != 0 || status.st_size > (off_t)largestValidFileSize)
        return 0;
    const auto n = (juce::uint32)status.st_size;

    std::unique_ptr<unsigned char[]> image(new (std::nothrow) unsigned char[n]);
    if (image == nullptr || !readFully(fd.get(), image.get(), n))
        return 0;
    return checkUPDImage(image.get(), (int)n, info, blocks);
}

int MainComponent::checkUPDImage(const unsigned char* image, int length, upd_info_t* info, fw_info_t* blocks)
{
    if (image == nullptr || length < (int)(sizeof(upd_header_t) + trailingCrcSize))
        return 0;
    const auto n = (juce::uint32)length;
    if (calcCRC32(image, n) != 0)
        return 0;

    upd_header_t header;
    std::memcpy(&header, image, sizeof header);
    if (!isKnownHeader(header) || header.blockCount > maxWrittenBlocks)
        return 0;

    info->version = versionOf(header);
    info->blockCount = header.blockCount;
    info->totalSize = 0;

    // Records lie between the header and the trailing CRC.
    const juce::uint32 end = n - trailingCrcSize;
    juce::uint32 offset = sizeof(upd_header_t);
    for (int i = 0; i < header.blockCount; ++i)
        if (!parseBlock(image, offset, end, header, blocks[i], *info))
            return 0;
    return (int)info->totalSize;
}

bool MainComponent::parseBlock(const unsigned char* image, juce::uint32& offset, juce::uint32 end,
                               const upd_header_t& header, fw_info_t& block, upd_info_t& info)
{
    if (end - offset < sizeof(firmware_header_t) + recordTrailerSize)
        return false;
    firmware_header_t record;
    std::memcpy(&record, image + offset, sizeof record);
    const juce::uint32 size = littleEndian32(record.dataSize);
    if (end - offset - sizeof(firmware_header_t) - recordTrailerSize < size)
        return false;
    // The start report could not announce it: the device would be told a wrong size.
    if (size > largestTransferSize - info.totalSize)
        return false;

    const auto* digits = record.blockVersionDigits;
    block.blockVersion =
        (juce::uint32)(ConvertAsciiToHex(digits[0]) << 12 | ConvertAsciiToHex(digits[1]) << 8 |
                       ConvertAsciiToHex(digits[2]) << 4 | ConvertAsciiToHex(digits[3]));
    block.update = record.updateFlag == 'Y';
    block.encrypted = record.encryptedFlag != 0;
    block.keyIndex = record.keyIndex;
    const juce::uint32 key = block.encrypted ? createEncryptionKey(crcTable, header, record) : 0;

    block.size = size;
    info.totalSize += size;
    block.data = new (std::nothrow) unsigned char[size];
    if (block.data == nullptr)
        return false;

    const unsigned char* stored = image + offset + sizeof(firmware_header_t);
    if (block.encrypted)
        decryptInto(block.data, stored, size, key);
    else
        std::memcpy(block.data, stored, size);

    block.crc16 = littleEndian16(stored + size + 2);
    if (calcCRC16(block.data, (int)size) != block.crc16)
        return false;
    offset += (juce::uint32)sizeof(firmware_header_t) + size + recordTrailerSize;
    return true;
}
