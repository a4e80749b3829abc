// The report lengths a HID device declares in its report descriptor, for
// platforms that hand the program the descriptor rather than the lengths
// (Linux hidraw). Only what the lengths need is read: the main items Input,
// Output, Feature, Collection and End Collection, and the global items
// Report Size, Report Count, Report ID, Push and Pop. Local items, the other
// global items and long items are skipped.
//
// Lengths are counted as the framing counts them, and as Windows' HID class
// driver reports them: the longest report of a direction in whole bytes,
// plus one for the report-ID byte that leads every report in the program's
// buffers, whether or not the device numbers its reports.
#pragma once

#include <cstdint>
#include <span>

enum class DescriptorError : std::uint8_t {
    None,
    Empty,                // no bytes at all
    TruncatedItem,        // an item's data runs past the end
    BadReportId,          // Report ID 0, or above 255
    ReportSizeTooLarge,   // Report Size above 256 bits
    ReportCountTooLarge,  // Report Count above 12288
    ReportTooLong,        // a report longer than a HID buffer holds
    PushTooDeep,          // more than kMaxGlobalPushes Push items without Pop
    PopWithoutPush,
    UnbalancedCollection,  // End Collection without Collection, or one left open
};

struct ReportLayout {
    DescriptorError error = DescriptorError::None;
    bool numbered = false;           // the descriptor declares report IDs
    std::uint16_t inputLength = 0;   // longest input report, with its ID byte; 0: none
    std::uint16_t outputLength = 0;  // longest output report, with its ID byte; 0: none
};

// The limits the Linux HID core puts on a descriptor it accepts.
inline constexpr std::uint32_t kMaxReportSizeBits = 256;
inline constexpr std::uint32_t kMaxReportCount = 12288;
inline constexpr std::uint32_t kMaxReportBytes = 16383;  // without the ID byte
inline constexpr int kMaxGlobalPushes = 4;

// Reads the descriptor. On failure `error` says why and the lengths are 0.
ReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor);
