// Parses HID 1.11 report descriptors into the elements a device publishes, and reads
// element fields out of reports. Pure functions: no system calls, no CoreFoundation.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hidraw
{

// Element types, with the numbers the IOKit interface gives them.
enum ElementKind : uint32_t
{
    kElementInputMisc = 1,
    kElementInputButton = 2,
    kElementInputAxis = 3,
    kElementInputScanCodes = 4,
    kElementOutput = 129,
    kElementFeature = 257,
    kElementCollection = 513
};

// The bits of an Input, Output or Feature item's data.
enum MainItemFlag : uint32_t
{
    kFlagConstant = 1u << 0,
    kFlagVariable = 1u << 1,
    kFlagRelative = 1u << 2,
    kFlagWrap = 1u << 3,
    kFlagNonLinear = 1u << 4,
    kFlagNoPreferredState = 1u << 5,
    kFlagNullState = 1u << 6,
    kFlagVolatile = 1u << 7,
    kFlagBufferedBytes = 1u << 8
};

enum class ReportKind : uint8_t
{
    input,
    output,
    feature
};

struct ParsedElement
{
    uint32_t cookie = 0; // 1-based, in descriptor order
    int32_t parent = -1; // index of the enclosing collection, -1 at the top
    uint32_t type = 0;   // an ElementKind
    uint32_t collectionType = 0;
    uint32_t usagePage = 0;
    uint32_t usage = 0;
    uint32_t flags = 0; // MainItemFlag bits
    uint32_t reportId = 0;
    uint32_t reportSize = 0;  // bits per field
    uint32_t reportCount = 0; // fields
    uint32_t bitOffset = 0;   // of the first field, in the report's data after the id byte
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
    uint32_t unit = 0;
    uint32_t unitExponent = 0;
    bool isArray = false; // a selector of an array item: 1 while any field holds arrayIndex
    int32_t arrayIndex = 0;

    bool isCollection() const { return type == kElementCollection; }
    ReportKind reportKind() const;
    bool isSigned() const { return logicalMin < 0; }
    uint32_t bitLength() const { return reportSize * reportCount; }
};

struct UsagePair
{
    uint32_t usagePage = 0;
    uint32_t usage = 0;
};

struct ParsedDescriptor
{
    std::vector<ParsedElement> elements;      // in descriptor order
    std::vector<UsagePair> applicationUsages; // of the top-level application collections
    bool numberedReports = false;             // reports start with their id byte
    uint32_t maxInputReportSize = 0;          // bytes, the id byte included
    uint32_t maxOutputReportSize = 0;
    uint32_t maxFeatureReportSize = 0;
};

// Parses a descriptor. A malformed or truncated descriptor gives the elements parsed up to
// the fault; nothing outside the given bytes is read.
ParsedDescriptor parseReportDescriptor(std::span<const uint8_t> descriptor);

// Reads one field of `bitSize` bits (at most 32) at `bitOffset` of `data`, sign-extended when
// `isSigned`. Bits beyond the data read as 0.
int32_t extractField(std::span<const uint8_t> data, uint32_t bitOffset, uint32_t bitSize, bool isSigned);

// The integer value that a report gives an element: its first field, or for an array
// selector 1 while any field of the array holds its index. `data` excludes the id byte.
int32_t elementIntegerValue(const ParsedElement& element, std::span<const uint8_t> data);

// Copies the element's fields, packed from bit 0, into `out` (at most out.size() bytes);
// returns the bytes the element spans.
size_t copyElementBits(const ParsedElement& element, std::span<const uint8_t> data, std::span<uint8_t> out);

} // namespace hidraw
