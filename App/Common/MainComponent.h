#pragma once

#include "UpdateFileFormat.h"

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent : public juce::Component
{
public:
    // What the update file holds, once verified.
    struct upd_info_t
    {
        juce::uint32 totalSize; // sum of every block's size
        int version;            // firmware version as a decimal number
        juce::uint8 blockCount;
    };

    struct fw_info_t
    {
        juce::uint32 blockVersion;
        bool update; // to be written
        bool encrypted;
        juce::uint8 keyIndex;
        juce::uint32 size;
        unsigned char* data; // decrypted, owned: array new, released by the destructor
        juce::uint16 crc16;
    };

    static constexpr int maxBlocks = 16;       // entries of fwInfo
    static constexpr int maxWrittenBlocks = 9; // blocks that the transfer's start report can list

    MainComponent();
    // Only the update-file engine: the CRC table, no file read, no widgets, no device.
    // Lets tools and tests verify update files without a window.
    enum EngineOnly
    {
        engineOnly
    };
    explicit MainComponent(EngineOnly);
    ~MainComponent() override;

    // Update file
    void initCRC32();
    int checkUPD(const juce::String& fileName, upd_info_t* info, fw_info_t* blocks);
    // What checkUPD does with the file once it has read it whole.
    int checkUPDImage(const unsigned char* image, int length, upd_info_t* info, fw_info_t* blocks);
    juce::uint32 calcCRC32(const unsigned char* data, juce::uint32 length) const;
    juce::uint32 updateCRC32(juce::uint32 crc, const unsigned char* data, juce::uint32 length) const;
    static juce::uint16 calcCRC16(const unsigned char* data, int length);
    static juce::uint8 ConvertAsciiToHex(unsigned char c);
    static juce::uint32 createEncryptionKey(const juce::uint32* table, const upd_header_t& header,
                                            const firmware_header_t& record);
    static juce::uint32 decryptData(juce::uint32 data, juce::uint32 key) { return data ^ key; }
    static int isFileValid(int checkResult, const upd_info_t& info);

    juce::uint32 crcTable[256] = {};
    upd_info_t updInfo = {};
    fw_info_t fwInfo[maxBlocks] = {};
    int fileValid = 0;

private:
    bool parseBlock(const unsigned char* image, juce::uint32& offset, juce::uint32 end,
                    const upd_header_t& header, fw_info_t& block, upd_info_t& info);
    void releaseBlocks();

    JUCE_DECLARE_NON_COPYABLE(MainComponent)
};
