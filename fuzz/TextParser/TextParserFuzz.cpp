#include "TxtLoader.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Any bytes, as a text file followed by its zero byte, parsed for every section.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* pointer = text.c_str();
    const int length = static_cast<int>(text.size());
    for (FlgTable flag : {FLG_NONE, FLG_FONT_MAC, FLG_LANG, FLG_STR})
    {
        juce::String dest[StringCount];
        TxtLoader::Load(&pointer, &length, flag, dest, StringCount);
    }
    return 0;
}
