// Feeds update-file images to the verifier. An input whose first byte is even is taken as a file
// body and gets its correct trailing CRC-32, so that the fuzzer reaches the header and the blocks;
// an odd first byte hands the rest over as it is.
#include "MainComponent.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    MainComponent engine(MainComponent::engineOnly);
    std::vector<unsigned char> image(data + 1, data + size);
    if (data[0] % 2 == 0)
    {
        const auto crc = engine.calcCRC32(image.data(), (juce::uint32)image.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            image.push_back((unsigned char)(crc >> shift));
    }
    engine.checkUPDImage(image.data(), (int)image.size(), &engine.updInfo, engine.fwInfo);
    return 0;
}
