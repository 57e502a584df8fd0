#include "ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace hidraw
{
namespace
{

// Bounds that keep a hostile descriptor from making the parser allocate without limit.
constexpr uint32_t kMaxReportSize = 256;    // bits per field
constexpr uint32_t kMaxReportCount = 12288; // fields per item
constexpr uint64_t kMaxReportBits = 16384 * 8;
constexpr size_t kMaxCollectionDepth = 64;
constexpr size_t kMaxGlobalStack = 16;
constexpr size_t kMaxElements = 16384;
constexpr uint64_t kMaxArrayUsages = 4096;

enum ItemType : uint8_t
{
    kItemMain = 0,
    kItemGlobal = 1,
    kItemLocal = 2
};

enum MainTag : uint8_t
{
    kTagInput = 0x8,
    kTagOutput = 0x9,
    kTagCollection = 0xA,
    kTagFeature = 0xB,
    kTagEndCollection = 0xC
};

enum GlobalTag : uint8_t
{
    kTagUsagePage = 0x0,
    kTagLogicalMin = 0x1,
    kTagLogicalMax = 0x2,
    kTagPhysicalMin = 0x3,
    kTagPhysicalMax = 0x4,
    kTagUnitExponent = 0x5,
    kTagUnit = 0x6,
    kTagReportSize = 0x7,
    kTagReportId = 0x8,
    kTagReportCount = 0x9,
    kTagPush = 0xA,
    kTagPop = 0xB
};

enum LocalTag : uint8_t
{
    kTagUsage = 0x0,
    kTagUsageMin = 0x1,
    kTagUsageMax = 0x2
};

struct Item
{
    uint8_t type = 0;
    uint8_t tag = 0;
    uint8_t size = 0; // bytes of data
    uint32_t data = 0;

    int32_t signedData() const
    {
        switch (size)
        {
        case 1:
            return static_cast<int8_t>(data);
        case 2:
            return static_cast<int16_t>(data);
        default:
            return static_cast<int32_t>(data);
        }
    }
};

// A number item whose sign depends on another (HID ranges are signed only when their minimum is).
struct RawNumber
{
    Item item;
    int32_t asSigned() const { return item.signedData(); }
    int32_t asUnsigned() const { return static_cast<int32_t>(item.data); }
};

struct GlobalState
{
    uint32_t usagePage = 0;
    RawNumber logicalMin, logicalMax, physicalMin, physicalMax;
    uint32_t unitExponent = 0;
    uint32_t unit = 0;
    uint32_t reportSize = 0;
    uint32_t reportId = 0;
    uint32_t reportCount = 0;
};

struct UsageRange
{
    uint32_t first = 0;
    uint32_t last = 0;
    uint64_t length() const { return uint64_t(last) - first + 1; }
};

struct LocalState
{
    std::vector<UsageRange> usages;
    uint32_t rangeMin = 0;
    bool haveRangeMin = false;

    uint64_t usageCount() const
    {
        uint64_t total = 0;
        for (const auto& range : usages)
            total += range.length();
        return total;
    }

    uint32_t usageAt(uint64_t index) const
    {
        for (const auto& range : usages)
        {
            if (index < range.length())
                return range.first + static_cast<uint32_t>(index);
            index -= range.length();
        }
        return usages.empty() ? 0 : usages.back().last;
    }

    void clear()
    {
        usages.clear();
        haveRangeMin = false;
    }
};

struct ReportLength
{
    ReportKind kind;
    uint32_t reportId;
    uint64_t bits;
};

class Parser
{
public:
    explicit Parser(std::span<const uint8_t> bytes) : bytes(bytes) {}

    ParsedDescriptor run()
    {
        Item item;
        while (readItem(item))
            if (!apply(item))
                break;
        finishReportSizes();
        return std::move(result);
    }

private:
    std::span<const uint8_t> bytes;
    size_t position = 0;
    ParsedDescriptor result;
    GlobalState global;
    std::vector<GlobalState> globalStack;
    LocalState local;
    std::vector<int32_t> openCollections;
    std::vector<ReportLength> reportLengths;

    bool readItem(Item& item)
    {
        if (position >= bytes.size())
            return false;
        const uint8_t prefix = bytes[position];
        if (prefix == 0xFE)
            return skipLongItem() && readItem(item);
        static constexpr std::array<uint8_t, 4> sizes{0, 1, 2, 4};
        item.size = sizes[prefix & 0x3];
        item.type = (prefix >> 2) & 0x3;
        item.tag = prefix >> 4;
        if (bytes.size() - position - 1 < item.size)
            return false;
        item.data = 0;
        for (uint8_t i = 0; i < item.size; ++i)
            item.data |= uint32_t(bytes[position + 1 + i]) << (8 * i);
        position += 1 + item.size;
        return true;
    }

    // Long items carry no meaning in HID 1.11; they are stepped over whole.
    bool skipLongItem()
    {
        if (bytes.size() - position < 3)
            return false;
        const size_t length = 3 + size_t(bytes[position + 1]);
        if (bytes.size() - position < length)
            return false;
        position += length;
        return true;
    }

    bool apply(const Item& item)
    {
        switch (item.type)
        {
        case kItemMain:
            return applyMain(item);
        case kItemGlobal:
            return applyGlobal(item);
        case kItemLocal:
            applyLocal(item);
            return true;
        default:
            return true; // reserved item types are ignored
        }
    }

    bool applyGlobal(const Item& item)
    {
        switch (item.tag)
        {
        case kTagUsagePage:
            global.usagePage = item.data & 0xFFFF;
            break;
        case kTagLogicalMin:
            global.logicalMin.item = item;
            break;
        case kTagLogicalMax:
            global.logicalMax.item = item;
            break;
        case kTagPhysicalMin:
            global.physicalMin.item = item;
            break;
        case kTagPhysicalMax:
            global.physicalMax.item = item;
            break;
        case kTagUnitExponent:
            global.unitExponent = item.data;
            break;
        case kTagUnit:
            global.unit = item.data;
            break;
        case kTagReportSize:
            global.reportSize = item.data;
            return item.data <= kMaxReportSize;
        case kTagReportId:
            global.reportId = item.data;
            result.numberedReports = true;
            return item.data > 0 && item.data <= 0xFF;
        case kTagReportCount:
            global.reportCount = item.data;
            return item.data <= kMaxReportCount;
        case kTagPush:
            if (globalStack.size() >= kMaxGlobalStack)
                return false;
            globalStack.push_back(global);
            break;
        case kTagPop:
            if (globalStack.empty())
                return false;
            global = globalStack.back();
            globalStack.pop_back();
            break;
        default:
            break;
        }
        return true;
    }

    // A usage of fewer than four bytes takes the current usage page; four bytes carry their own.
    uint32_t fullUsage(const Item& item) const
    {
        return item.size == 4 ? item.data : (global.usagePage << 16) | (item.data & 0xFFFF);
    }

    void applyLocal(const Item& item)
    {
        switch (item.tag)
        {
        case kTagUsage:
            local.usages.push_back({fullUsage(item), fullUsage(item)});
            break;
        case kTagUsageMin:
            local.rangeMin = fullUsage(item);
            local.haveRangeMin = true;
            break;
        case kTagUsageMax:
            if (local.haveRangeMin && fullUsage(item) >= local.rangeMin)
                local.usages.push_back({local.rangeMin, fullUsage(item)});
            local.haveRangeMin = false;
            break;
        default:
            break; // designators, strings and delimiters carry nothing an element publishes
        }
    }

    bool applyMain(const Item& item)
    {
        bool ok = true;
        switch (item.tag)
        {
        case kTagInput:
            ok = addReportItem(item, ReportKind::input);
            break;
        case kTagOutput:
            ok = addReportItem(item, ReportKind::output);
            break;
        case kTagFeature:
            ok = addReportItem(item, ReportKind::feature);
            break;
        case kTagCollection:
            ok = openCollection(item);
            break;
        case kTagEndCollection:
            ok = !openCollections.empty();
            if (ok)
                openCollections.pop_back();
            break;
        default:
            break;
        }
        local.clear();
        return ok;
    }

    int32_t currentParent() const { return openCollections.empty() ? -1 : openCollections.back(); }

    ParsedElement& newElement()
    {
        ParsedElement& element = result.elements.emplace_back();
        element.cookie = static_cast<uint32_t>(result.elements.size());
        element.parent = currentParent();
        return element;
    }

    bool openCollection(const Item& item)
    {
        if (openCollections.size() >= kMaxCollectionDepth || result.elements.size() >= kMaxElements)
            return false;
        const uint32_t usage = local.usages.empty() ? 0 : local.usages.front().first;
        ParsedElement& element = newElement();
        element.type = kElementCollection;
        element.collectionType = item.data & 0xFF;
        element.usagePage = usage >> 16;
        element.usage = usage & 0xFFFF;
        if (openCollections.empty() && element.collectionType == 1)
            result.applicationUsages.push_back({element.usagePage, element.usage});
        openCollections.push_back(static_cast<int32_t>(result.elements.size() - 1));
        return true;
    }

    uint64_t& reportBits(ReportKind kind)
    {
        for (auto& length : reportLengths)
            if (length.kind == kind && length.reportId == global.reportId)
                return length.bits;
        return reportLengths.emplace_back(ReportLength{kind, global.reportId, 0}).bits;
    }

    bool addReportItem(const Item& item, ReportKind kind)
    {
        uint64_t& bits = reportBits(kind);
        const uint32_t offset = static_cast<uint32_t>(bits);
        bits += uint64_t(global.reportSize) * global.reportCount;
        if (bits > kMaxReportBits)
            return false;
        if (global.reportSize == 0 || global.reportCount == 0)
            return true;
        if (item.data & kFlagVariable)
            return addVariableElements(item.data, kind, offset);
        return addArraySelectors(item.data, kind, offset);
    }

    ParsedElement& newFieldElement(uint32_t flags, ReportKind kind, uint32_t usage)
    {
        ParsedElement& element = newElement();
        element.flags = flags;
        element.usagePage = usage >> 16;
        element.usage = usage & 0xFFFF;
        element.reportId = global.reportId;
        element.reportSize = global.reportSize;
        element.unit = global.unit;
        element.unitExponent = global.unitExponent;
        setRanges(element);
        element.type = elementType(kind, element, false);
        return element;
    }

    void setRanges(ParsedElement& element) const
    {
        element.logicalMin = global.logicalMin.asSigned();
        element.logicalMax =
            element.logicalMin < 0 ? global.logicalMax.asSigned() : global.logicalMax.asUnsigned();
        element.physicalMin = global.physicalMin.asSigned();
        element.physicalMax =
            element.physicalMin < 0 ? global.physicalMax.asSigned() : global.physicalMax.asUnsigned();
        if (element.physicalMin == 0 && element.physicalMax == 0)
        {
            element.physicalMin = element.logicalMin;
            element.physicalMax = element.logicalMax;
        }
    }

    static uint32_t elementType(ReportKind kind, const ParsedElement& element, bool selector)
    {
        if (kind == ReportKind::output)
            return kElementOutput;
        if (kind == ReportKind::feature)
            return kElementFeature;
        if (selector || element.usagePage == 0x09 || element.reportSize == 1)
            return kElementInputButton;
        if (element.usagePage == 0x01 && element.usage >= 0x30 && element.usage <= 0x38)
            return kElementInputAxis;
        return kElementInputMisc;
    }

    // One element per usage; when the fields outnumber the usages, the last usage takes the
    // remaining fields as one element. Constant fields without a usage are padding.
    bool addVariableElements(uint32_t flags, ReportKind kind, uint32_t offset)
    {
        const uint64_t usageCount = local.usageCount();
        if (usageCount == 0 && (flags & kFlagConstant))
            return true;
        const uint32_t elements =
            static_cast<uint32_t>(std::clamp<uint64_t>(usageCount, 1, global.reportCount));
        for (uint32_t i = 0; i < elements; ++i)
        {
            if (result.elements.size() >= kMaxElements)
                return false;
            ParsedElement& element = newFieldElement(flags, kind, local.usageAt(i));
            element.reportCount = (i + 1 == elements) ? global.reportCount - i : 1;
            element.bitOffset = offset + i * global.reportSize;
        }
        return true;
    }

    // One selector element per usage of the array, each sharing the array's fields.
    bool addArraySelectors(uint32_t flags, ReportKind kind, uint32_t offset)
    {
        const uint64_t usageCount = std::min(local.usageCount(), kMaxArrayUsages);
        const int32_t firstIndex = global.logicalMin.asSigned();
        for (uint64_t i = 0; i < usageCount; ++i)
        {
            if (result.elements.size() >= kMaxElements)
                return false;
            ParsedElement& element = newFieldElement(flags, kind, local.usageAt(i));
            element.isArray = true;
            element.arrayIndex = static_cast<int32_t>(firstIndex + static_cast<int64_t>(i));
            element.reportCount = global.reportCount;
            element.bitOffset = offset;
            element.type = elementType(kind, element, true);
        }
        return true;
    }

    void finishReportSizes()
    {
        const uint32_t idByte = result.numberedReports ? 1 : 0;
        for (const auto& length : reportLengths)
        {
            if (length.bits == 0)
                continue;
            const uint32_t size = static_cast<uint32_t>((length.bits + 7) / 8) + idByte;
            uint32_t& max = length.kind == ReportKind::input    ? result.maxInputReportSize
                            : length.kind == ReportKind::output ? result.maxOutputReportSize
                                                                : result.maxFeatureReportSize;
            max = std::max(max, size);
        }
    }
};

} // namespace

ReportKind ParsedElement::reportKind() const
{
    if (type == kElementOutput)
        return ReportKind::output;
    if (type == kElementFeature)
        return ReportKind::feature;
    return ReportKind::input;
}

ParsedDescriptor parseReportDescriptor(std::span<const uint8_t> descriptor)
{
    return Parser(descriptor).run();
}

int32_t extractField(std::span<const uint8_t> data, uint32_t bitOffset, uint32_t bitSize, bool isSigned)
{
    bitSize = std::min<uint32_t>(bitSize, 32);
    if (bitSize == 0)
        return 0;
    const size_t firstByte = bitOffset / 8;
    uint64_t bits = 0;
    for (size_t i = 0; i < 5; ++i)
        if (firstByte + i < data.size())
            bits |= uint64_t(data[firstByte + i]) << (8 * i);
    bits >>= bitOffset % 8;
    const uint64_t mask = (uint64_t(1) << bitSize) - 1;
    bits &= mask;
    if (isSigned && bitSize < 64 && (bits >> (bitSize - 1)) & 1)
        bits |= ~mask;
    return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

int32_t elementIntegerValue(const ParsedElement& element, std::span<const uint8_t> data)
{
    if (!element.isArray)
        return extractField(data, element.bitOffset, element.reportSize, element.isSigned());
    for (uint32_t field = 0; field < element.reportCount; ++field)
    {
        const uint32_t offset = element.bitOffset + field * element.reportSize;
        if (extractField(data, offset, element.reportSize, element.isSigned()) == element.arrayIndex)
            return 1;
    }
    return 0;
}

size_t copyElementBits(const ParsedElement& element, std::span<const uint8_t> data, std::span<uint8_t> out)
{
    const size_t length = (size_t(element.bitLength()) + 7) / 8;
    const size_t count = std::min(length, out.size());
    if (element.bitOffset % 8 == 0 && element.bitLength() % 8 == 0)
    {
        const size_t first = element.bitOffset / 8;
        const size_t available = first < data.size() ? std::min(count, data.size() - first) : 0;
        if (available > 0)
            std::memcpy(out.data(), data.data() + first, available);
        std::fill(out.begin() + available, out.begin() + count, uint8_t(0));
        return length;
    }
    for (size_t i = 0; i < count; ++i)
    {
        const uint32_t remaining = element.bitLength() - uint32_t(i * 8);
        out[i] = static_cast<uint8_t>(
            extractField(data, element.bitOffset + uint32_t(i * 8), std::min<uint32_t>(8, remaining), false));
    }
    return length;
}

} // namespace hidraw
