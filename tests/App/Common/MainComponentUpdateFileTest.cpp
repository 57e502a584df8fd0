#include "MainComponent.h"
#include "UpdateFileWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>

using namespace updfile;

namespace
{
class UpdateFileTest : public ::testing::Test
{
protected:
    std::unique_ptr<MainComponent> engine = std::make_unique<MainComponent>(MainComponent::engineOnly);
    juce::TemporaryFile temp{".upd"};

    int checkPath(const juce::String& path)
    {
        engine = std::make_unique<MainComponent>(MainComponent::engineOnly);
        return engine->checkUPD(path, &engine->updInfo, engine->fwInfo);
    }
    int check(const Bytes& bytes)
    {
        writeBytes(temp.getFile(), bytes);
        return checkPath(temp.getFile().getFullPathName());
    }
    int check(const UpdateFile& file) { return check(file.bytes()); }

    Bytes blockData(int i) const
    {
        const auto& block = engine->fwInfo[i];
        return Bytes(block.data, block.data + block.size);
    }
    bool nothingFilled() const
    {
        const auto& info = engine->updInfo;
        return info.totalSize == 0 && info.version == 0 && info.blockCount == 0 &&
               engine->fwInfo[0].data == nullptr;
    }
};

UpdateFile twoBlockFile()
{
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(100, 1)));
    file.blocks.push_back(UpdateBlock::encrypted(patternBytes(61, 2), 0xA5C3E1F0, 200));
    return file;
}

Bytes text(const char* s)
{
    return Bytes(s, s + std::strlen(s));
}
} // namespace

TEST_F(UpdateFileTest, ChecksumsMatchTheCatalogueAndABitwiseReference)
{
    const Bytes digits = text("123456789");
    EXPECT_EQ(engine->calcCRC32(digits.data(), 9), 0x0376E6E7u);
    EXPECT_EQ(MainComponent::calcCRC16(digits.data(), 9), 0x31C3);
    EXPECT_EQ(engine->calcCRC32(nullptr, 9), 0u);
    EXPECT_EQ(MainComponent::calcCRC16(digits.data(), 0), 0);
    EXPECT_EQ(MainComponent::calcCRC16(digits.data(), -1), 0);

    // Every length and alignment around the eight-byte steps.
    const Bytes data = patternBytes(300, 9);
    for (std::size_t start = 0; start < 9; ++start)
        for (std::size_t size = 0; start + size <= data.size(); size += 1 + size / 8)
        {
            const auto* p = data.data() + start;
            ASSERT_EQ(engine->calcCRC32(p, (juce::uint32)size), crc32Mpeg2(p, size)) << start << "+" << size;
            ASSERT_EQ(MainComponent::calcCRC16(p, (int)size), crc16Xmodem(p, size)) << start << "+" << size;
        }
}

TEST_F(UpdateFileTest, CrcTableIsTheMsbFirstKeyTable)
{
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(engine->crcTable[i], keyTableEntry((std::uint8_t)i)) << i;
}

TEST_F(UpdateFileTest, ConvertsHexDigitsAndTakesAnythingElseAsZero)
{
    const std::pair<char, int> cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},
                                          {'g', 0}, {'G', 0}, {'/', 0},  {':', 0},  {'@', 0},  {'`', 0}};
    for (auto [c, value] : cases)
        EXPECT_EQ(MainComponent::ConvertAsciiToHex((unsigned char)c), value) << c;
}

TEST_F(UpdateFileTest, ReadsAWellFormedFile)
{
    UpdateFile file = twoBlockFile();
    file.blocks.push_back(UpdateBlock::plain(patternBytes(7, 3)));
    file.blocks[0].versionDigits = "12aF";
    file.blocks[1].versionDigits = "12G4";
    file.blocks[2].updateFlag = 'y';

    ASSERT_EQ(check(file), 168);
    const auto& info = engine->updInfo;
    EXPECT_EQ(info.totalSize, 168u);
    EXPECT_EQ(info.version, 123);
    EXPECT_EQ(info.blockCount, 3);
    const auto* blocks = engine->fwInfo;
    EXPECT_EQ(blocks[0].blockVersion, 0x12AFu);
    EXPECT_EQ(blocks[1].blockVersion, 0x1204u);
    EXPECT_TRUE(blocks[0].update);
    EXPECT_FALSE(blocks[2].update); // only a capital Y marks a block
    EXPECT_FALSE(blocks[0].encrypted);
    EXPECT_TRUE(blocks[1].encrypted);
    EXPECT_EQ(blocks[1].keyIndex, 200);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(blocks[i].size, file.blocks[i].data.size());
        EXPECT_EQ(blockData(i), file.blocks[i].data) << i;
        EXPECT_EQ(blocks[i].crc16, crc16Xmodem(file.blocks[i].data.data(), file.blocks[i].data.size()));
    }
    EXPECT_EQ(blocks[3].data, nullptr);
}

TEST_F(UpdateFileTest, DecryptsBlocksOfEveryLengthWithTheirOwnKey)
{
    UpdateFile file;
    file.reservedAfterVersion = 0x5A;
    for (std::uint8_t size = 1; size <= 9; ++size)
        file.blocks.push_back(
            UpdateBlock::encrypted(patternBytes(size, size), 0x01020304u * size, size * 29));

    ASSERT_EQ(check(file), 45);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(blockData(i), file.blocks[i].data) << "size " << i + 1;
}

TEST_F(UpdateFileTest, TheReservedByteAfterTheVersionEntersOnlyTheKeysTopByte)
{
    UpdateFile file = twoBlockFile();
    const Bytes body = file.body();
    upd_header_t header;
    firmware_header_t record;
    std::memcpy(&header, body.data(), sizeof header);
    std::memcpy(&record, body.data() + 28 + 28 + 100, sizeof record);

    const auto key = MainComponent::createEncryptionKey(engine->crcTable, header, record);
    EXPECT_EQ(key, file.keyFor(file.blocks[1]));
    header.reserved2 = 0x80;
    const auto changed = MainComponent::createEncryptionKey(engine->crcTable, header, record);
    EXPECT_NE(key, changed);
    EXPECT_EQ((key ^ changed) & 0x00FFFFFFu, 0u);

    // A file whose blocks were encrypted under another reserved byte differs in bytes 3, 7, 11...
    // of every encrypted block, which its CRC-16 then refuses.
    Bytes stale = body;
    stale[23] = 0x80;
    EXPECT_EQ(check(sealed(stale)), 0);
}

TEST_F(UpdateFileTest, TakesTheVersionDigitsWithoutCheckingThem)
{
    UpdateFile file = twoBlockFile();
    file.versionDigits = "1A0";
    ASSERT_GT(check(file), 0);
    EXPECT_EQ(engine->updInfo.version, 270);

    file.versionDigits = "000";
    const int result = check(file);
    EXPECT_EQ(result, 161);
    EXPECT_EQ(MainComponent::isFileValid(result, engine->updInfo), 0);
}

TEST_F(UpdateFileTest, FileIsValidOnlyWithDataAndAPositiveVersion)
{
    const auto valid = [](int result, int version) {
        return MainComponent::isFileValid(result, MainComponent::upd_info_t{1, version, 1});
    };
    EXPECT_EQ(valid(161, 123), 1);
    EXPECT_EQ(valid(1, 1), 1);
    EXPECT_EQ(valid(0, 123), 0);
    EXPECT_EQ(valid(-5, 123), 0);
    EXPECT_EQ(valid(161, 0), 0);
    EXPECT_EQ(valid(161, -100), 0);
}

TEST_F(UpdateFileTest, RefusesFilesThatAreMissingOrFailTheChecksum)
{
    EXPECT_EQ(checkPath(temp.getFile().getFullPathName()), 0);
    EXPECT_EQ(check(Bytes{}), 0);

    UpdateFile file = twoBlockFile();
    file.crcOrder = CrcOrder::leastSignificantFirst;
    EXPECT_EQ(check(file), 0);

    Bytes flipped = twoBlockFile().bytes();
    flipped[60] ^= 0x01;
    EXPECT_EQ(check(flipped), 0);
    EXPECT_TRUE(nothingFilled());
}

TEST_F(UpdateFileTest, RefusesAnotherMagicFormatOrModel)
{
    const auto withHeader = [](auto change)
    {
        UpdateFile file = twoBlockFile();
        change(file);
        return file;
    };
    EXPECT_EQ(check(withHeader([](UpdateFile& f) { f.magic = "upd "; })), 0);
    EXPECT_EQ(check(withHeader([](UpdateFile& f) { f.formatVersion = "0101"; })), 0);
    EXPECT_EQ(check(withHeader([](UpdateFile& f) { f.model = std::string("TRV-Q8\0\0", 8); })), 0);
    EXPECT_EQ(check(withHeader([](UpdateFile& f) { f.model = "trv-q8  "; })), 0);
    EXPECT_TRUE(nothingFilled());
}

TEST_F(UpdateFileTest, ABadBlockChecksumKeepsWhatWasReadUpToIt)
{
    UpdateFile file = twoBlockFile();
    file.blocks.push_back(UpdateBlock::plain(patternBytes(10, 5)));
    file.blocks[1].updateFlag = 'N'; // a block not to be written is verified all the same
    file.blocks[1].crc16 = 0x1234;

    EXPECT_EQ(check(file), 0);
    EXPECT_EQ(engine->updInfo.blockCount, 3);
    EXPECT_EQ(engine->updInfo.totalSize, 161u);
    EXPECT_EQ(blockData(0), file.blocks[0].data);
    EXPECT_NE(engine->fwInfo[1].data, nullptr);
    EXPECT_EQ(engine->fwInfo[1].crc16, 0x1234);
    EXPECT_EQ(engine->fwInfo[2].data, nullptr);
}

TEST_F(UpdateFileTest, EmptyBlocksNeedAZeroChecksumAndCarryNoData)
{
    UpdateFile file = twoBlockFile();
    file.blocks.insert(file.blocks.begin(), UpdateBlock::plain({}));
    EXPECT_EQ(check(file), 161);
    EXPECT_EQ(engine->fwInfo[0].size, 0u);
    EXPECT_NE(engine->fwInfo[0].data, nullptr);

    file.blocks[0].crc16 = 1;
    EXPECT_EQ(check(file), 0);

    UpdateFile empty;
    empty.blocks.assign(2, UpdateBlock::encrypted({}, 5, 6));
    EXPECT_EQ(check(empty), 0);
}

TEST_F(UpdateFileTest, RefusesAFileShorterThanItsHeader)
{
    // Each is sealed with a valid checksum, so only the length can refuse it.
    const Bytes header = UpdateFile{}.body();
    for (std::size_t size = 0; size < header.size(); ++size)
    {
        EXPECT_EQ(check(sealed(Bytes(header.begin(), header.begin() + (long)size))), 0) << size;
        EXPECT_TRUE(nothingFilled()) << size;
    }
    EXPECT_EQ(check(sealed(header)), 0); // no block at all: nothing to write
}

TEST_F(UpdateFileTest, RefusesARecordOrItsDataRunningPastTheEnd)
{
    UpdateFile announced = twoBlockFile();
    announced.blockCount = 3;
    EXPECT_EQ(check(announced), 0);

    const Bytes body = twoBlockFile().body();
    for (std::size_t cut : {1, 4, 20, 30, 60})
        EXPECT_EQ(check(sealed(Bytes(body.begin(), body.end() - (long)cut))), 0) << cut;

    for (std::uint32_t size : {62u, 65u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFFFu})
    {
        UpdateFile oversized = twoBlockFile();
        oversized.blocks[1].dataSize = size;
        EXPECT_EQ(check(oversized), 0) << size;
        EXPECT_EQ(engine->fwInfo[1].data, nullptr);
    }
}

TEST_F(UpdateFileTest, RefusesMoreBlocksThanTheTransferCanList)
{
    UpdateFile file;
    for (int i = 0; i < 9; ++i)
        file.blocks.push_back(UpdateBlock::plain(patternBytes(3, (std::uint32_t)i)));
    EXPECT_EQ(check(file), 27);

    file.blocks.push_back(UpdateBlock::plain(patternBytes(3, 10)));
    EXPECT_EQ(check(file), 0);
    EXPECT_TRUE(nothingFilled());
}

TEST_F(UpdateFileTest, RefusesAFileOfTwoGibibytesWithoutReadingIt)
{
    writeBytes(temp.getFile(), twoBlockFile().bytes());
    std::filesystem::resize_file(temp.getFile().getFullPathName().toStdString(), std::uintmax_t{1} << 31);

    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(checkPath(temp.getFile().getFullPathName()), 0);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024); // kilobytes
}
