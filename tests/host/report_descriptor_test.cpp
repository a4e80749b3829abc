// Report lengths read from report descriptors: real devices' descriptors,
// numbered reports, the items that are skipped, and descriptors that are cut
// short or declare more than a HID report can hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report_descriptor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// A vendor-defined device with one 64-byte input and one 64-byte output
// report, no report IDs: the key's kind of descriptor.
const Bytes kVendor64{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // page, usage, collection
                      0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,  // usage, logical 0..255
                      0x75, 0x08, 0x95, 0x40, 0x81, 0x02,        // 64 x 8 bits, Input
                      0x09, 0x03, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};  // Output, end

// A boot keyboard: an 8-byte input report and a 1-byte output report (5 LED
// bits and 3 of padding).
const Bytes kBootKeyboard{
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A mouse as report 1 (3 bytes) and the boot keyboard as report 2.
const Bytes kNumberedMouseAndKeyboard =
    Join({{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05,
           0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01,
           0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09,
           0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0},
          Bytes(kBootKeyboard.begin(), kBootKeyboard.begin() + 6),
          {0x85, 0x02},
          Bytes(kBootKeyboard.begin() + 6, kBootKeyboard.end())});

const Bytes kLongItem{0xFE, 0x03, 0xF0, 0x75, 0x01, 0x81};  // data that would be items if read

struct Case {
    const char* name;
    Bytes descriptor;
    DescriptorError error;
    bool numbered;
    std::uint16_t input, output;
};

class ReportDescriptorTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReportDescriptorTest, Layout) {
    const Case& c = GetParam();
    const ReportLayout layout = ParseReportDescriptor(c.descriptor);
    EXPECT_EQ(c.error, layout.error);
    EXPECT_EQ(c.numbered, layout.numbered);
    EXPECT_EQ(c.input, layout.inputLength);
    EXPECT_EQ(c.output, layout.outputLength);
}

using E = DescriptorError;

const Case kCases[] = {
    {"Vendor64", kVendor64, E::None, false, 65, 65},
    {"BootKeyboard", kBootKeyboard, E::None, false, 9, 2},
    {"NumberedReportsLongestOfEachDirection", kNumberedMouseAndKeyboard, E::None, true, 9, 2},
    {"LongItemsAreSkipped", Join({kLongItem, kVendor64, kLongItem}), E::None, false, 65, 65},
    {"EmptyLongItem", Join({{0xFE, 0x00, 0x10}, kVendor64}), E::None, false, 65, 65},
    {"PartialBytesRoundUp", {0x75, 0x07, 0x95, 0x01, 0x81, 0x02}, E::None, false, 2, 0},
    {"FeatureReportsAreNotCounted", {0x75, 0x08, 0x95, 0x40, 0xB1, 0x02}, E::None, false, 0, 0},
    {"NoReports", {0xA1, 0x01, 0xC0}, E::None, false, 0, 0},
    {"ItemWithoutDataLast", {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x08}, E::None, false, 3, 0},
    {"ReportSize256Bits", {0x76, 0x00, 0x01, 0x95, 0x01, 0x81, 0x02}, E::None, false, 33, 0},
    {"LongestReportAHidBufferHolds",
     {0x75, 0x08, 0x96, 0x00, 0x30, 0x81, 0x02, 0x96, 0xFF, 0x0F, 0x81, 0x02},
     E::None,
     false,
     16384,
     0},
    {"PopRestoresWhatPushSaved",
     {0x75, 0x08, 0x95, 0x10, 0xA4, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0xB4, 0x81, 0x02},
     E::None,
     false,
     18,
     0},
    {"FourPushes", {0xA4, 0xA4, 0xA4, 0xA4, 0xB4, 0xB4, 0xB4, 0xB4}, E::None, false, 0, 0},
    {"Empty", {}, E::Empty, false, 0, 0},
    {"ItemDataCutShort", Bytes(kVendor64.begin(), kVendor64.begin() + 13), E::TruncatedItem, false,
     0, 0},
    {"FourByteItemCutShort", {0x75, 0x08, 0x97, 0x40, 0x00, 0x00}, E::TruncatedItem, false, 0, 0},
    {"LongItemPrefixAlone", {0xFE}, E::TruncatedItem, false, 0, 0},
    {"LongItemWithoutTag", {0xFE, 0x00}, E::TruncatedItem, false, 0, 0},
    {"LongItemDataCutShort", {0xFE, 0x05, 0xF0, 0x01, 0x02}, E::TruncatedItem, false, 0, 0},
    {"ReportIdZero", {0x85, 0x00}, E::BadReportId, false, 0, 0},
    {"ReportIdAbove255", {0x86, 0x00, 0x01}, E::BadReportId, false, 0, 0},
    {"ReportSizeAbove256Bits", {0x76, 0x01, 0x01}, E::ReportSizeTooLarge, false, 0, 0},
    {"ReportSizeOverflowing", {0x77, 0xFF, 0xFF, 0xFF, 0xFF}, E::ReportSizeTooLarge, false, 0, 0},
    {"ReportCountAbove12288", {0x96, 0x01, 0x30}, E::ReportCountTooLarge, false, 0, 0},
    {"ReportCountOverflowing", {0x97, 0x00, 0x00, 0x00, 0x80}, E::ReportCountTooLarge, false, 0, 0},
    {"ReportLongerThanAHidBuffer",
     {0x75, 0x08, 0x96, 0x00, 0x30, 0x81, 0x02, 0x96, 0x00, 0x10, 0x81, 0x02},
     E::ReportTooLong,
     false,
     0,
     0},
    {"ReportsAddUpFieldByField",
     {0x75, 0x08, 0x96, 0x00, 0x10, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02},  // 4 x 4096
     E::ReportTooLong,
     false,
     0,
     0},
    {"EachReportHasTheLimitOfItsOwn",
     {0x75, 0x08, 0x96, 0x00, 0x30, 0x85, 0x01, 0x81, 0x02, 0x85, 0x02, 0x81, 0x02},
     E::None,
     true,
     12289,
     0},
    {"FivePushes", {0xA4, 0xA4, 0xA4, 0xA4, 0xA4}, E::PushTooDeep, false, 0, 0},
    {"PopWithoutPush", {0x75, 0x08, 0xB4}, E::PopWithoutPush, false, 0, 0},
    {"EndCollectionWithoutCollection", {0xC0, 0xA1, 0x01}, E::UnbalancedCollection, false, 0, 0},
    {"CollectionLeftOpen", Bytes(kVendor64.begin(), kVendor64.end() - 1), E::UnbalancedCollection,
     false, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Descriptors, ReportDescriptorTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every cut inside an item of a real descriptor is a truncated item, never a
// shorter report; a cut between items leaves its collection open, once one
// has been opened.
TEST(ReportDescriptorCuts, EveryCutInsideAnItemIsTruncated) {
    const std::vector<std::size_t> itemStarts{3, 5, 7, 9, 11, 14, 16, 18, 20, 22, 24, 26, 28};
    const std::size_t collectionOpenedBy = 7;
    for (std::size_t cut = 1; cut < kVendor64.size(); ++cut) {
        const bool atBoundary =
            std::find(itemStarts.begin(), itemStarts.end(), cut) != itemStarts.end();
        const DescriptorError expected = !atBoundary                ? E::TruncatedItem
                                         : cut < collectionOpenedBy ? E::None
                                                                    : E::UnbalancedCollection;
        const ReportLayout layout = ParseReportDescriptor(std::span(kVendor64.data(), cut));
        EXPECT_EQ(expected, layout.error) << "cut at " << cut;
        EXPECT_EQ(0, layout.inputLength) << "cut at " << cut;
    }
}

}  // namespace
