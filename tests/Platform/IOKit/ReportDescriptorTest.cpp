#include "native/ReportDescriptor.h"

#include "HidDescriptors.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace hidraw;

namespace
{

// Where an element sits: type, usage page and usage, parent, bit offset, report size and count, and
// logical range.
auto placed(const ParsedElement& e)
{
    return std::tuple(e.type, e.usagePage, e.usage, e.parent, e.bitOffset, e.reportSize, e.reportCount,
                      e.logicalMin, e.logicalMax);
}

// Element count, numbered reports, the largest input, output and feature reports, and the usage of
// the first application collection.
auto shape(const ParsedDescriptor& d)
{
    return std::tuple(d.elements.size(), d.numberedReports, d.maxInputReportSize, d.maxOutputReportSize,
                      d.maxFeatureReportSize, d.applicationUsages.at(0).usagePage,
                      d.applicationUsages.at(0).usage);
}

// The values a report gives the elements at the indices.
std::vector<int32_t> values(const ParsedDescriptor& d, const std::vector<uint8_t>& report,
                            std::initializer_list<size_t> indices)
{
    std::vector<int32_t> found;
    for (size_t i : indices)
        found.push_back(elementIntegerValue(d.elements.at(i), report));
    return found;
}

} // namespace

TEST(ReportDescriptor, BootKeyboardGivesModifiersLedsAndKeySelectors)
{
    // The application collection, 8 modifiers, 5 LEDs, then a selector for each key usage from 0.
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kBootKeyboard);
    EXPECT_EQ(shape(parsed), std::tuple(116u, false, 8u, 1u, 0u, 1u, 6u));
    EXPECT_EQ(parsed.elements[0].collectionType, 1u);
    EXPECT_EQ(placed(parsed.elements[1]), std::tuple(kElementInputButton, 7u, 0xE0u, 0, 0u, 1u, 1u, 0, 1));
    EXPECT_EQ(placed(parsed.elements[8]), std::tuple(kElementInputButton, 7u, 0xE7u, 0, 7u, 1u, 1u, 0, 1));
    EXPECT_EQ(placed(parsed.elements[13]), std::tuple(kElementOutput, 8u, 5u, 0, 4u, 1u, 1u, 0, 1));
    const ParsedElement& keyA = parsed.elements[18];
    EXPECT_EQ(placed(keyA), std::tuple(kElementInputButton, 7u, 4u, 0, 16u, 8u, 6u, 0, 0x65));
    EXPECT_TRUE(keyA.isArray);
    EXPECT_EQ(keyA.arrayIndex, 4);
    // Left shift and key A.
    EXPECT_EQ(values(parsed, {0x02, 0, 0, 0x04, 0, 0, 0, 0}, {1, 2, 18, 19}),
              (std::vector<int32_t>{0, 1, 1, 0}));
}

TEST(ReportDescriptor, BootMouseNestsItsPointerAndReadsSignedRelativeAxes)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kBootMouse);
    EXPECT_EQ(shape(parsed), std::tuple(7u, false, 3u, 0u, 0u, 1u, 2u));
    EXPECT_EQ(placed(parsed.elements[1]), std::tuple(kElementCollection, 1u, 1u, 0, 0u, 0u, 0u, 0, 0));
    EXPECT_EQ(parsed.elements[1].collectionType, 0u);
    const ParsedElement& x = parsed.elements[5];
    EXPECT_EQ(placed(x), std::tuple(kElementInputAxis, 1u, 0x30u, 1, 8u, 8u, 1u, -127, 127));
    EXPECT_EQ(x.physicalMin, -127);
    EXPECT_TRUE(x.flags & kFlagRelative);
    EXPECT_EQ(values(parsed, {0x05, 0xFB, 0x7F}, {2, 3, 4, 5, 6}), (std::vector<int32_t>{1, 0, 1, -5, 127}));
}

TEST(ReportDescriptor, GamepadReadsAxesHatAndButtonsAfterTheReportId)
{
    // The application collection, X, Y, Z, Rz, the hat, then buttons 1 to 12.
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kGamepad);
    EXPECT_EQ(shape(parsed), std::tuple(18u, true, 8u, 0u, 0u, 1u, 5u));
    EXPECT_EQ(placed(parsed.elements[4]), std::tuple(kElementInputAxis, 1u, 0x35u, 0, 24u, 8u, 1u, 0, 255));
    EXPECT_EQ(parsed.elements[4].reportId, 1u);
    const ParsedElement& hat = parsed.elements[5];
    EXPECT_EQ(placed(hat), std::tuple(kElementInputMisc, 1u, 0x39u, 0, 32u, 4u, 1u, 0, 7));
    EXPECT_EQ(std::tuple(hat.physicalMax, hat.unit, bool(hat.flags & kFlagNullState)),
              std::tuple(315, 0x14u, true));
    EXPECT_EQ(placed(parsed.elements[17]), std::tuple(kElementInputButton, 9u, 12u, 0, 51u, 1u, 1u, 0, 1));
    EXPECT_EQ(parsed.elements[17].unit, 0u);
    EXPECT_EQ(values(parsed, {0x00, 0x80, 0xFF, 0x10, 0x03, 0x01, 0x08}, {2, 5, 6, 7, 17}),
              (std::vector<int32_t>{0x80, 3, 1, 0, 1}));
}

TEST(ReportDescriptor, VendorDeviceKeepsEachReportAsOneElement)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kVendor64);
    EXPECT_EQ(shape(parsed), std::tuple(3u, false, 64u, 64u, 0u, 0xFF00u, 1u));
    EXPECT_EQ(placed(parsed.elements[1]), std::tuple(kElementInputMisc, 0xFF00u, 2u, 0, 0u, 8u, 64u, 0, 255));
    EXPECT_EQ(parsed.elements[2].type, kElementOutput);
    std::vector<uint8_t> report(64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = uint8_t(i + 1);
    std::vector<uint8_t> copied(64);
    EXPECT_EQ(copyElementBits(parsed.elements[1], report, copied), 64u);
    EXPECT_EQ(copied, report);
}

TEST(ReportDescriptor, FieldsBeyondTheirUsagesShareTheLastUsage)
{
    // Usages 1 and 2 for four 8-bit fields: usage 2 takes the last three.
    const std::vector<uint8_t> descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0x09, 0x02,
                                             0x75, 0x08, 0x95, 0x04, 0x81, 0x02};
    const ParsedDescriptor parsed = parseReportDescriptor(descriptor);
    ASSERT_EQ(parsed.elements.size(), 2u);
    EXPECT_EQ(placed(parsed.elements[0]), std::tuple(kElementInputMisc, 0xFF00u, 1u, -1, 0u, 8u, 1u, 0, 0));
    EXPECT_EQ(placed(parsed.elements[1]), std::tuple(kElementInputMisc, 0xFF00u, 2u, -1, 8u, 8u, 3u, 0, 0));
}

TEST(ReportDescriptor, ReadsRangesAsDevicesWriteThem)
{
    // Logical maximum 0xFF in one byte after a minimum of 0 means 255, not -1; an extended
    // usage of four bytes carries its own page; a unit exponent keeps its raw nibble.
    const std::vector<uint8_t> descriptor = {0x05, 0x01, 0x0B, 0x38, 0x00, 0x0C, 0x00, 0x15, 0x00, 0x25,
                                             0xFF, 0x55, 0x0E, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    const ParsedDescriptor parsed = parseReportDescriptor(descriptor);
    ASSERT_EQ(parsed.elements.size(), 1u);
    EXPECT_EQ(placed(parsed.elements[0]),
              std::tuple(kElementInputMisc, 0x0Cu, 0x38u, -1, 0u, 8u, 1u, 0, 255));
    EXPECT_EQ(parsed.elements[0].unitExponent, 0x0Eu);
    EXPECT_EQ(elementIntegerValue(parsed.elements[0], std::vector<uint8_t>{0xF0}), 0xF0);
}

TEST(ReportDescriptor, MalformedDescriptorsGiveWhatWasParsedBeforeTheFault)
{
    EXPECT_TRUE(parseReportDescriptor({}).elements.empty());

    // Cut inside the second item's data: the collection stands, the rest does not.
    std::vector<uint8_t> truncated(hidtest::kVendor64.begin(), hidtest::kVendor64.begin() + 13);
    EXPECT_EQ(parseReportDescriptor(truncated).elements.size(), 1u);

    // An End Collection with nothing open stops the parse.
    const std::vector<uint8_t> strayEnd = {0xC0, 0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    EXPECT_TRUE(parseReportDescriptor(strayEnd).elements.empty());

    // A Pop without a Push, and a report count beyond reason, stop it too.
    const std::vector<uint8_t> strayPop = {0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xB4};
    EXPECT_EQ(parseReportDescriptor(strayPop).elements.size(), 1u);
    const std::vector<uint8_t> hugeCount = {0x09, 0x01, 0x75, 0x08, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02};
    EXPECT_TRUE(parseReportDescriptor(hugeCount).elements.empty());

    // A long item is stepped over; a usage range over every usage is capped, not expanded.
    const std::vector<uint8_t> longItem = {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x09, 0x01,
                                           0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    EXPECT_EQ(parseReportDescriptor(longItem).elements.size(), 1u);
    const std::vector<uint8_t> everyUsage = {0x1B, 0x00, 0x00, 0x00, 0x00, 0x2B, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00};
    EXPECT_LE(parseReportDescriptor(everyUsage).elements.size(), 4096u);
}

TEST(ReportDescriptor, ExtractsFieldsAtAnyBitWithinTheData)
{
    const std::vector<uint8_t> data = {0b10110100, 0b00000011};
    EXPECT_EQ(extractField(data, 2, 3, false), 0b101);
    EXPECT_EQ(extractField(data, 2, 3, true), -3);
    EXPECT_EQ(extractField(data, 6, 4, false), 0b1110);
    EXPECT_EQ(extractField(data, 12, 8, false), 0);
    EXPECT_EQ(extractField(data, 4000000000u, 32, true), 0);
    EXPECT_EQ(extractField(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}, 0, 32, false), -1);
}
