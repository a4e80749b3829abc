// The report descriptor's items, walked once, summing each report's bits.
#include "report_descriptor.h"

#include <algorithm>
#include <array>

namespace {

enum class ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3 };

// Tags of the items that matter here.
constexpr std::uint8_t kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB,
                       kEndCollection = 0xC;
constexpr std::uint8_t kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA,
                       kPop = 0xB;
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::array<std::size_t, 4> kShortDataSize{0, 1, 2, 4};  // by the prefix's low bits

// The global items kept per report, saved by Push and restored by Pop.
struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

enum class Direction : std::uint8_t { Input, Output, Feature };

struct Walk {
    Globals globals;
    std::array<Globals, kMaxGlobalPushes> pushed{};
    int pushes = 0;
    std::uint32_t openCollections = 0;
    bool numbered = false;
    // Bits of each report, per direction and report ID (0: unnumbered).
    std::array<std::array<std::uint32_t, 256>, 3> bits{};
};

std::uint32_t LittleEndian(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;) value = value << 8 | data[i];
    return value;
}

DescriptorError AddField(Walk& walk, Direction direction) {
    std::uint32_t& bits = walk.bits[static_cast<int>(direction)][walk.globals.reportId];
    // Both factors are bounded when they are set, so the product fits.
    bits += walk.globals.reportSize * walk.globals.reportCount;
    return bits > kMaxReportBytes * 8 ? DescriptorError::ReportTooLong : DescriptorError::None;
}

DescriptorError MainItem(Walk& walk, std::uint8_t tag) {
    switch (tag) {
        case kInput:
            return AddField(walk, Direction::Input);
        case kOutput:
            return AddField(walk, Direction::Output);
        case kFeature:
            return AddField(walk, Direction::Feature);
        case kCollection:
            ++walk.openCollections;
            return DescriptorError::None;
        case kEndCollection:
            if (walk.openCollections == 0) return DescriptorError::UnbalancedCollection;
            --walk.openCollections;
            return DescriptorError::None;
        default:
            return DescriptorError::None;
    }
}

DescriptorError GlobalItem(Walk& walk, std::uint8_t tag, std::uint32_t value) {
    switch (tag) {
        case kReportSize:
            if (value > kMaxReportSizeBits) return DescriptorError::ReportSizeTooLarge;
            walk.globals.reportSize = value;
            return DescriptorError::None;
        case kReportCount:
            if (value > kMaxReportCount) return DescriptorError::ReportCountTooLarge;
            walk.globals.reportCount = value;
            return DescriptorError::None;
        case kReportId:
            if (value == 0 || value > 255) return DescriptorError::BadReportId;
            walk.globals.reportId = static_cast<std::uint8_t>(value);
            walk.numbered = true;
            return DescriptorError::None;
        case kPush:
            if (walk.pushes == kMaxGlobalPushes) return DescriptorError::PushTooDeep;
            walk.pushed[walk.pushes++] = walk.globals;
            return DescriptorError::None;
        case kPop:
            if (walk.pushes == 0) return DescriptorError::PopWithoutPush;
            walk.globals = walk.pushed[--walk.pushes];
            return DescriptorError::None;
        default:
            return DescriptorError::None;
    }
}

// The longest report of a direction, in bytes with the ID byte; 0 for none.
std::uint16_t LongestReport(const std::array<std::uint32_t, 256>& bits) {
    const std::uint32_t most = *std::max_element(bits.begin(), bits.end());
    return most == 0 ? 0 : static_cast<std::uint16_t>((most + 7) / 8 + 1);
}

ReportLayout Failed(DescriptorError error) {
    ReportLayout layout;
    layout.error = error;
    return layout;
}

}  // namespace

ReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    if (descriptor.empty()) return Failed(DescriptorError::Empty);
    Walk walk;
    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        const std::size_t left = descriptor.size() - at - 1;
        if (prefix == kLongItemPrefix) {
            // Size and tag bytes, then the data: skipped.
            if (left < 2 || left - 2 < descriptor[at + 1])
                return Failed(DescriptorError::TruncatedItem);
            at += 3 + descriptor[at + 1];
            continue;
        }
        const std::size_t size = kShortDataSize[prefix & 3];
        if (left < size) return Failed(DescriptorError::TruncatedItem);
        // An item without data may be the last byte: its data is the empty
        // span just past the end, never an element there.
        const std::uint32_t value = LittleEndian(descriptor.subspan(at + 1, size));
        const std::uint8_t tag = prefix >> 4;
        DescriptorError error = DescriptorError::None;
        switch (static_cast<ItemType>((prefix >> 2) & 3)) {
            case ItemType::Main:
                error = MainItem(walk, tag);
                break;
            case ItemType::Global:
                error = GlobalItem(walk, tag, value);
                break;
            default:  // local and reserved items do not change the lengths
                break;
        }
        if (error != DescriptorError::None) return Failed(error);
        at += 1 + size;
    }
    if (walk.openCollections != 0) return Failed(DescriptorError::UnbalancedCollection);
    ReportLayout layout;
    layout.numbered = walk.numbered;
    layout.inputLength = LongestReport(walk.bits[static_cast<int>(Direction::Input)]);
    layout.outputLength = LongestReport(walk.bits[static_cast<int>(Direction::Output)]);
    return layout;
}
