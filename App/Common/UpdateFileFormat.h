#pragma once

#include <juce_core/juce_core.h>

// The update file's header and block record heads, byte for byte as they lie in the file.
// Multi-byte fields are kept as bytes: records start at any offset, and the file is little-endian
// whatever the host is.

struct upd_header_t
{
    unsigned char magic[4];         // "UPD "
    unsigned char formatVersion[4]; // "0100"
    unsigned char reserved1[4];
    unsigned char model[8];         // "TRV-Q8  "
    unsigned char versionDigits[3]; // decimal, most significant first
    unsigned char reserved2;        // top byte of the key word that starts at versionDigits
    juce::uint8 blockCount;
    unsigned char reserved3[3];
};

struct firmware_header_t
{
    unsigned char keySeed[4];
    unsigned char reserved1[4];
    unsigned char blockVersionDigits[4]; // hexadecimal, most significant first
    unsigned char updateFlag;            // 'Y': the block is to be written
    unsigned char encryptedFlag;
    juce::uint8 keyIndex;
    unsigned char reserved2[5];
    unsigned char dataSize[4];
};

static_assert(sizeof(upd_header_t) == 28);
static_assert(sizeof(firmware_header_t) == 24);
