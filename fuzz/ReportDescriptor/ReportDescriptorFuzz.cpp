// Feeds arbitrary bytes to the report-descriptor parser, then reads every element it gave
// out of a report made of the same bytes.
#include "native/ReportDescriptor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    const hidraw::ParsedDescriptor parsed = hidraw::parseReportDescriptor(bytes);
    std::vector<uint8_t> copy(64);
    const size_t checked = std::min<size_t>(parsed.elements.size(), 256); // keeps each run short
    for (size_t i = 0; i < checked; ++i)
    {
        const hidraw::ParsedElement& element = parsed.elements[i];
        if (element.parent >= 0 && size_t(element.parent) >= parsed.elements.size())
            __builtin_trap();
        hidraw::elementIntegerValue(element, bytes);
        hidraw::copyElementBits(element, bytes, copy);
    }
    return 0;
}
