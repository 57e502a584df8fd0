#include "native/ReportDescriptor.h"

#include "HidDescriptors.h"

#include <gtest/gtest.h>

using namespace hidraw;

namespace
{

const ParsedElement* elementWithUsage(const ParsedDescriptor& parsed, uint32_t page, uint32_t usage)
{
    for (const auto& element : parsed.elements)
        if (element.usagePage == page && element.usage == usage && !element.isCollection())
            return &element;
    return nullptr;
}

} // namespace

TEST(ReportDescriptor, BootKeyboardGivesModifiersLedsAndKeySelectors)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kBootKeyboard);

    ASSERT_EQ(parsed.elements.size(), 1u + 8 + 5 + 102);
    EXPECT_EQ(parsed.elements[0].type, kElementCollection);
    EXPECT_EQ(parsed.elements[0].collectionType, 1u);

    const ParsedElement& leftControl = parsed.elements[1];
    EXPECT_EQ(leftControl.type, kElementInputButton);
    EXPECT_EQ(leftControl.usagePage, 0x07u);
    EXPECT_EQ(leftControl.usage, 0xE0u);
    EXPECT_EQ(leftControl.parent, 0);
    EXPECT_EQ(parsed.elements[8].usage, 0xE7u);
    EXPECT_EQ(parsed.elements[8].bitOffset, 7u);

    EXPECT_EQ(parsed.elements[9].type, kElementOutput);
    EXPECT_EQ(parsed.elements[9].usagePage, 0x08u);
    EXPECT_EQ(parsed.elements[13].usage, 5u);

    const ParsedElement* keyA = elementWithUsage(parsed, 0x07, 0x04);
    ASSERT_NE(keyA, nullptr);
    EXPECT_TRUE(keyA->isArray);
    EXPECT_EQ(keyA->arrayIndex, 4);
    EXPECT_EQ(keyA->bitOffset, 16u);
    EXPECT_EQ(keyA->reportCount, 6u);

    EXPECT_FALSE(parsed.numberedReports);
    EXPECT_EQ(parsed.maxInputReportSize, 8u);
    EXPECT_EQ(parsed.maxOutputReportSize, 1u);
    ASSERT_EQ(parsed.applicationUsages.size(), 1u);
    EXPECT_EQ(parsed.applicationUsages[0].usagePage, 1u);
    EXPECT_EQ(parsed.applicationUsages[0].usage, 6u);

    const std::vector<uint8_t> report = {0x02, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(elementIntegerValue(*keyA, report), 1);
    EXPECT_EQ(elementIntegerValue(*elementWithUsage(parsed, 0x07, 0x05), report), 0);
    EXPECT_EQ(elementIntegerValue(parsed.elements[1], report), 0);
    EXPECT_EQ(elementIntegerValue(parsed.elements[2], report), 1);
}

TEST(ReportDescriptor, BootMouseNestsItsPointerAndReadsSignedRelativeAxes)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kBootMouse);

    ASSERT_EQ(parsed.elements.size(), 7u);
    EXPECT_EQ(parsed.elements[1].type, kElementCollection);
    EXPECT_EQ(parsed.elements[1].collectionType, 0u);
    EXPECT_EQ(parsed.elements[1].parent, 0);
    const ParsedElement& x = parsed.elements[5];
    EXPECT_EQ(x.usage, 0x30u);
    EXPECT_EQ(x.type, kElementInputAxis);
    EXPECT_EQ(x.parent, 1);
    EXPECT_EQ(x.logicalMin, -127);
    EXPECT_EQ(x.logicalMax, 127);
    EXPECT_EQ(x.physicalMin, -127);
    EXPECT_TRUE(x.flags & kFlagRelative);
    EXPECT_EQ(x.bitOffset, 8u);
    EXPECT_EQ(parsed.maxInputReportSize, 3u);

    const std::vector<uint8_t> report = {0x05, 0xFB, 0x7F};
    EXPECT_EQ(elementIntegerValue(x, report), -5);
    EXPECT_EQ(elementIntegerValue(parsed.elements[6], report), 127);
    EXPECT_EQ(elementIntegerValue(parsed.elements[2], report), 1);
    EXPECT_EQ(elementIntegerValue(parsed.elements[3], report), 0);
    EXPECT_EQ(elementIntegerValue(parsed.elements[4], report), 1);
}

TEST(ReportDescriptor, GamepadReadsAxesHatAndButtonsAfterTheReportId)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kGamepad);

    ASSERT_EQ(parsed.elements.size(), 1u + 4 + 1 + 12);
    EXPECT_TRUE(parsed.numberedReports);
    EXPECT_EQ(parsed.maxInputReportSize, 8u);
    const ParsedElement* rz = elementWithUsage(parsed, 0x01, 0x35);
    ASSERT_NE(rz, nullptr);
    EXPECT_EQ(rz->type, kElementInputAxis);
    EXPECT_EQ(rz->logicalMax, 255);
    EXPECT_EQ(rz->reportId, 1u);

    const ParsedElement* hat = elementWithUsage(parsed, 0x01, 0x39);
    ASSERT_NE(hat, nullptr);
    EXPECT_EQ(hat->type, kElementInputMisc);
    EXPECT_EQ(hat->physicalMax, 315);
    EXPECT_EQ(hat->unit, 0x14u);
    EXPECT_TRUE(hat->flags & kFlagNullState);
    EXPECT_EQ(hat->bitOffset, 32u);

    const ParsedElement* button12 = elementWithUsage(parsed, 0x09, 12);
    ASSERT_NE(button12, nullptr);
    EXPECT_EQ(button12->unit, 0u);
    EXPECT_EQ(button12->bitOffset, 51u);

    const std::vector<uint8_t> data = {0x00, 0x80, 0xFF, 0x10, 0x03, 0x01, 0x08};
    EXPECT_EQ(elementIntegerValue(*elementWithUsage(parsed, 0x01, 0x31), data), 0x80);
    EXPECT_EQ(elementIntegerValue(*hat, data), 3);
    EXPECT_EQ(elementIntegerValue(*elementWithUsage(parsed, 0x09, 1), data), 1);
    EXPECT_EQ(elementIntegerValue(*elementWithUsage(parsed, 0x09, 2), data), 0);
    EXPECT_EQ(elementIntegerValue(*button12, data), 1);
}

TEST(ReportDescriptor, VendorDeviceKeepsEachReportAsOneElement)
{
    const ParsedDescriptor parsed = parseReportDescriptor(hidtest::kVendor64);

    ASSERT_EQ(parsed.elements.size(), 3u);
    EXPECT_EQ(parsed.elements[1].type, kElementInputMisc);
    EXPECT_EQ(parsed.elements[1].reportCount, 64u);
    EXPECT_EQ(parsed.elements[1].reportSize, 8u);
    EXPECT_EQ(parsed.elements[2].type, kElementOutput);
    EXPECT_EQ(parsed.maxInputReportSize, 64u);
    EXPECT_EQ(parsed.maxOutputReportSize, 64u);
    EXPECT_EQ(parsed.maxFeatureReportSize, 0u);
    ASSERT_EQ(parsed.applicationUsages.size(), 1u);
    EXPECT_EQ(parsed.applicationUsages[0].usagePage, 0xFF00u);

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
    EXPECT_EQ(parsed.elements[0].reportCount, 1u);
    EXPECT_EQ(parsed.elements[1].usage, 2u);
    EXPECT_EQ(parsed.elements[1].reportCount, 3u);
    EXPECT_EQ(parsed.elements[1].bitOffset, 8u);
}

TEST(ReportDescriptor, ReadsRangesAsDevicesWriteThem)
{
    // Logical maximum 0xFF in one byte after a minimum of 0 means 255, not -1; an extended
    // usage of four bytes carries its own page; a unit exponent keeps its raw nibble.
    const std::vector<uint8_t> descriptor = {0x05, 0x01, 0x0B, 0x38, 0x00, 0x0C, 0x00, 0x15, 0x00, 0x25,
                                             0xFF, 0x55, 0x0E, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    const ParsedDescriptor parsed = parseReportDescriptor(descriptor);
    ASSERT_EQ(parsed.elements.size(), 1u);
    EXPECT_EQ(parsed.elements[0].usagePage, 0x0Cu);
    EXPECT_EQ(parsed.elements[0].usage, 0x38u);
    EXPECT_EQ(parsed.elements[0].logicalMax, 255);
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
