#include "ImageLoader.h"
#include "MainComponent.h"
#include "TxtLoader.h"
#include "UpdateFileWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace updfile;

namespace
{
// While set, the C library's read fills the whole buffer from the file but reports only half of
// it, as an interrupted or shrinking read would.
bool shortReads = false;
// Every byte the C library's read has given.
std::atomic<long> bytesRead{0};
} // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
    using ReadFunction = ssize_t (*)(int, void*, size_t);
    static const auto next = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    const ssize_t result = next(fd, buffer, count);
    if (result > 0)
        bytesRead += result;
    return shortReads && result > 1 ? result / 2 : result;
}

namespace
{
class UpdateFileTest : public ::testing::Test
{
protected:
    std::unique_ptr<MainComponent> engine = std::make_unique<MainComponent>(MainComponent::engineOnly);
    juce::TemporaryFile temp{".upd"};

    int checkFile()
    {
        engine = std::make_unique<MainComponent>(MainComponent::engineOnly);
        return engine->checkUPD(temp.getFile().getFullPathName(), &engine->updInfo, engine->fwInfo);
    }
    int check(const Bytes& bytes)
    {
        writeBytes(temp.getFile(), bytes);
        return checkFile();
    }
    int check(const UpdateFile& file) { return check(file.bytes()); }
    Bytes blockData(int i) const
    {
        return Bytes(engine->fwInfo[i].data, engine->fwInfo[i].data + engine->fwInfo[i].size);
    }
    bool nothingFilled() const { return engine->updInfo.version == 0 && engine->fwInfo[0].data == nullptr; }
};

UpdateFile twoBlockFile()
{
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(100, 1)));
    file.blocks.push_back(UpdateBlock::encrypted(patternBytes(61, 2), 0xA5C3E1F0, 200));
    return file;
}
} // namespace

TEST_F(UpdateFileTest, ChecksumsMatchTheCatalogueAndABitwiseReference)
{
    const auto* digits = reinterpret_cast<const unsigned char*>("123456789");
    EXPECT_EQ(engine->calcCRC32(digits, 9), 0x0376E6E7u);
    EXPECT_EQ(MainComponent::calcCRC16(digits, 9), 0x31C3);
    EXPECT_EQ(engine->calcCRC32(nullptr, 9), 0u);
    EXPECT_EQ(MainComponent::calcCRC16(digits, -1), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(engine->crcTable[i], keyTableEntry((std::uint8_t)i)) << i;

    // Every alignment and many lengths around the eight-byte steps.
    const Bytes data = patternBytes(300, 9);
    for (std::size_t start = 0; start < 9; ++start)
        for (std::size_t size = 0; start + size <= data.size(); size += 1 + size / 8)
        {
            const auto* p = data.data() + start;
            ASSERT_EQ(engine->calcCRC32(p, (juce::uint32)size), crc32Mpeg2(p, size)) << start << "+" << size;
            ASSERT_EQ(MainComponent::calcCRC16(p, (int)size), crc16Xmodem(p, size)) << start << "+" << size;
        }
}

TEST_F(UpdateFileTest, ReadsAndDecryptsAWellFormedFile)
{
    UpdateFile file;
    file.versionDigits = "1A0";       // not required to be digits: 100 + 17 * 10
    file.reservedAfterVersion = 0x5A; // enters every block's key
    for (std::uint8_t size = 1; size <= 9; ++size)
        file.blocks.push_back(size % 3 == 0
                                  ? UpdateBlock::plain(patternBytes(size, size))
                                  : UpdateBlock::encrypted(patternBytes(size, size), 0x01020304u * size,
                                                           (std::uint8_t)(size * 29)));
    file.blocks[0].versionDigits = "12aF";
    file.blocks[1].versionDigits = "12Gg"; // anything but a hexadecimal digit counts as 0
    file.blocks[3].versionDigits = "f9A:";
    file.blocks[4].versionDigits = "0/@`";
    file.blocks[2].updateFlag = 'y'; // only a capital Y marks a block for writing

    ASSERT_EQ(check(file), 45);
    EXPECT_EQ(engine->updInfo.version, 270);
    EXPECT_EQ(engine->updInfo.blockCount, 9);
    const auto* blocks = engine->fwInfo;
    EXPECT_EQ(blocks[0].blockVersion, 0x12AFu);
    EXPECT_EQ(blocks[1].blockVersion, 0x1200u);
    EXPECT_EQ(blocks[3].blockVersion, 0xF9A0u);
    EXPECT_EQ(blocks[4].blockVersion, 0u);
    EXPECT_TRUE(blocks[1].update && blocks[1].encrypted);
    EXPECT_FALSE(blocks[2].update || blocks[2].encrypted);
    EXPECT_EQ(blocks[4].keyIndex, 145);
    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ(blockData(i), file.blocks[i].data) << "size " << i + 1;
        EXPECT_EQ(blocks[i].crc16, crc16Xmodem(file.blocks[i].data.data(), file.blocks[i].data.size()));
    }
    EXPECT_EQ(blocks[9].data, nullptr);
}

TEST_F(UpdateFileTest, FileIsValidOnlyWithDataAndAPositiveVersion)
{
    UpdateFile file = twoBlockFile();
    file.versionDigits = "000";
    EXPECT_EQ(check(file), 161);
    EXPECT_EQ(MainComponent::isFileValid(161, engine->updInfo), 0);

    const auto valid = [](int result, int version) {
        return MainComponent::isFileValid(result, MainComponent::upd_info_t{1, version, 1});
    };
    EXPECT_EQ(valid(1, 1), 1);
    EXPECT_EQ(valid(0, 123) + valid(-5, 123) + valid(161, -100), 0);
}

TEST_F(UpdateFileTest, RefusesAFileOfAnotherKindOrWithABadChecksumBeforeFillingAnything)
{
    const std::pair<const char*, std::function<void(UpdateFile&)>> cases[] = {
        {"CRC-32 least significant byte first",
         [](UpdateFile& f) { f.crcOrder = CrcOrder::leastSignificantFirst; }},
        {"another magic", [](UpdateFile& f) { f.magic = "upd "; }},
        {"another format", [](UpdateFile& f) { f.formatVersion = "0101"; }},
        {"another model", [](UpdateFile& f) { f.model = std::string("TRV-Q8\0\0", 8); }},
        {"the model in lower case", [](UpdateFile& f) { f.model = "trv-q8  "; }},
        {"ten blocks, one more than the transfer lists",
         [](UpdateFile& f) { f.blocks.resize(10, f.blocks[0]); }},
    };
    for (const auto& [name, change] : cases)
    {
        UpdateFile file = twoBlockFile();
        change(file);
        EXPECT_EQ(check(file), 0) << name;
        EXPECT_TRUE(nothingFilled()) << name;
    }
    EXPECT_EQ(checkFile(), 0) << "missing";
    EXPECT_EQ(check(Bytes{}), 0);
    Bytes flipped = twoBlockFile().bytes();
    flipped[60] ^= 0x01;
    EXPECT_EQ(check(flipped), 0);
}

TEST_F(UpdateFileTest, ABadBlockChecksumKeepsWhatWasReadUpToIt)
{
    UpdateFile file = twoBlockFile();
    file.blocks.push_back(UpdateBlock::plain(patternBytes(10, 5)));
    file.blocks[1].updateFlag = 'N'; // a block not to be written is verified all the same
    file.blocks[1].crc16 = 0x1234;

    EXPECT_EQ(check(file), 0);
    EXPECT_EQ(engine->updInfo.totalSize, 161u);
    EXPECT_EQ(blockData(0), file.blocks[0].data);
    EXPECT_EQ(engine->fwInfo[1].crc16, 0x1234);
    EXPECT_NE(engine->fwInfo[1].data, nullptr);
    EXPECT_EQ(engine->fwInfo[2].data, nullptr);
}

TEST_F(UpdateFileTest, EmptyBlocksNeedAZeroChecksumAndCarryNoData)
{
    UpdateFile file = twoBlockFile();
    file.blocks.insert(file.blocks.begin(), UpdateBlock::plain({}));
    EXPECT_EQ(check(file), 161);
    EXPECT_EQ(engine->fwInfo[0].size, 0u);

    file.blocks[0].crc16 = 1;
    EXPECT_EQ(check(file), 0);
    file.blocks.assign(2, UpdateBlock::encrypted({}, 5, 6));
    EXPECT_EQ(check(file), 0);
}

TEST_F(UpdateFileTest, RefusesAFileShorterThanWhatItAnnouncesOrThanItsLengthReads)
{
    // Each is sealed with a valid checksum, so only its length can refuse it.
    const Bytes header = UpdateFile{}.body();
    for (long size = 0; size < (long)header.size(); ++size)
        EXPECT_TRUE(check(sealed(Bytes(header.begin(), header.begin() + size))) == 0 && nothingFilled())
            << size;

    const Bytes body = twoBlockFile().body();
    for (long cut : {1, 4, 20, 30, 60})
        EXPECT_EQ(check(sealed(Bytes(body.begin(), body.end() - cut))), 0) << cut;

    for (std::uint32_t size : {62u, 0x7FFFFFFFu, 0xFFFFFFFFu})
    {
        UpdateFile oversized = twoBlockFile();
        oversized.blocks[1].dataSize = size;
        EXPECT_EQ(check(oversized), 0) << size;
        EXPECT_EQ(engine->fwInfo[1].data, nullptr);
    }

    ASSERT_EQ(check(twoBlockFile()), 161);
    shortReads = true;
    const int halved = checkFile();
    shortReads = false;
    EXPECT_EQ(halved, 0);
}

TEST_F(UpdateFileTest, RefusesAFileOfTwoGibibytesWithoutReadingIt)
{
    writeBytes(temp.getFile(), twoBlockFile().bytes());
    std::filesystem::resize_file(temp.getFile().getFullPathName().toStdString(), std::uintmax_t{1} << 31);

    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(checkFile(), 0);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024); // kilobytes
}

TEST_F(UpdateFileTest, RefusesAFileLargerThanAnyValidOneFromItsSizeAlone)
{
    // The header, nine records with their heads and trailers, 24 bits of data, the CRC-32.
    const long largestValid = 28 + 9 * 28 + 0xFFFFFF + 4;
    const auto path = temp.getFile().getFullPathName().toStdString();
    for (long size : {largestValid, largestValid + 1})
    {
        writeBytes(temp.getFile(), Bytes{'U', 'P', 'D'});
        std::filesystem::resize_file(path, (std::uintmax_t)size);
        const long before = bytesRead;
        EXPECT_EQ(checkFile(), 0) << size;
        EXPECT_EQ(bytesRead - before, size == largestValid ? size : 0) << size;
    }
}

TEST_F(UpdateFileTest, RefusesSizesTheStartReportCannotAnnounce)
{
    const auto oneBlock = [](std::size_t size)
    {
        UpdateFile file;
        file.blocks.push_back(UpdateBlock::plain(patternBytes(size, 3)));
        return file;
    };
    EXPECT_EQ(check(oneBlock(0xFFFFFF)), 0xFFFFFF);
    EXPECT_EQ(check(oneBlock(0x1000000)), 0);
    EXPECT_EQ(check(oneBlock(0x1000000 + 40)), 0) << "announced as 40 bytes";
    EXPECT_EQ(engine->fwInfo[0].data, nullptr) << "refused before its data is taken";

    UpdateFile twoBlocks = oneBlock(0xFFFFF0);
    twoBlocks.blocks.push_back(UpdateBlock::encrypted(patternBytes(0x10, 4), 7, 8));
    twoBlocks.blocks.back().updateFlag = 'N'; // not written, but counted in the total
    EXPECT_EQ(check(twoBlocks), 0);
    EXPECT_EQ(engine->updInfo.totalSize, 0xFFFFF0u);
}

// A named pipe or a device in the update file's place would block the opening or a read for ever.
TEST_F(UpdateFileTest, RefusesAtOnceWhatIsNotARegularFile)
{
    const juce::File place = temp.getFile();
    const auto path = place.getFullPathName().toStdString();
    const auto checkPlace = [&]
    {
        auto checked = std::async(std::launch::async, [&] { return checkFile(); });
        const bool returned = checked.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        if (!returned) // lets an opening that waits for a writer go, and the read find the end
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(returned) << "the check waited";
        return checked.get();
    };
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(checkPlace(), 0);

    ASSERT_TRUE(place.deleteFile() && place.createDirectory());
    EXPECT_EQ(checkPlace(), 0);
    ASSERT_TRUE(place.deleteRecursively());

    const juce::File target = place.getSiblingFile(place.getFileName() + "-target");
    twoBlockFile().writeTo(target);
    ASSERT_EQ(::symlink(target.getFullPathName().toRawUTF8(), path.c_str()), 0);
    EXPECT_EQ(checkPlace(), 161) << "a link to a regular file is that file";
    target.deleteFile();
}

TEST_F(UpdateFileTest, AnEngineLeavesTheTextsAndImagesOfTheWindowAlone)
{
    TxtLoader::createInstance();
    ImageLoader::createInstance();
    TxtLoader::getInstance()->setLocale(3);
    const juce::Image* warning = ImageLoader::getInstance()->getImage(0);

    engine.reset();

    EXPECT_EQ(TxtLoader::getInstance()->getLocale(), 3u);
    EXPECT_EQ(ImageLoader::getInstance()->getImage(0), warning);
    ImageLoader::releaseInstance();
    TxtLoader::releaseInstance();
}
