// A fuzz target for the report-descriptor parser: the fuzzer's bytes are the
// descriptor a device hands over. Besides what AddressSanitizer and
// UndefinedBehaviorSanitizer watch, each input is checked for what must hold
// whatever the bytes:
// - a failure gives no lengths; a success gives lengths a HID buffer holds,
//   each 0 (no report) or at least 2 (the ID byte and one of data);
// - items that do not change the lengths (a long item, a local item) put in
//   front change nothing, and a parse of the same bytes gives the same;
// - after a descriptor that parsed, an item cut short is a truncated item, and
//   a Collection left open or an End Collection too many is unbalanced.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "report_descriptor.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "report descriptor fuzzer: %s\n", what);
    std::abort();
}

bool Same(const ReportLayout& a, const ReportLayout& b) {
    return a.error == b.error && a.numbered == b.numbered && a.inputLength == b.inputLength &&
           a.outputLength == b.outputLength;
}

bool LengthUsable(std::uint16_t length) {
    return length == 0 || (length >= 2 && length <= kMaxReportBytes + 1);
}

ReportLayout ParseWith(const std::vector<std::uint8_t>& before, const std::uint8_t* data,
                       std::size_t size, const std::vector<std::uint8_t>& after) {
    std::vector<std::uint8_t> bytes = before;
    bytes.insert(bytes.end(), data, data + size);
    bytes.insert(bytes.end(), after.begin(), after.end());
    return ParseReportDescriptor(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ReportLayout layout = ParseReportDescriptor(std::span(data, size));
    Require(Same(layout, ParseReportDescriptor(std::span(data, size))), "two parses differ");
    if (layout.error != DescriptorError::None) {
        Require(layout.inputLength == 0 && layout.outputLength == 0 && !layout.numbered,
                "a failed parse gave lengths");
    } else {
        Require(LengthUsable(layout.inputLength) && LengthUsable(layout.outputLength),
                "a length no HID report has");
    }
    if (size == 0) return 0;

    const std::vector<std::uint8_t> neutral{0xFE, 0x02, 0x10, 0x85, 0x00, 0x09, 0x01};
    Require(Same(layout, ParseWith(neutral, data, size, {})), "a skipped item changed the lengths");
    if (layout.error != DescriptorError::None) return 0;

    Require(ParseWith({}, data, size, {0x26, 0xFF}).error == DescriptorError::TruncatedItem,
            "an item cut short was read");
    Require(ParseWith({}, data, size, {0xA1, 0x01}).error == DescriptorError::UnbalancedCollection,
            "a collection left open was accepted");
    Require(ParseWith({}, data, size, {0xC0}).error == DescriptorError::UnbalancedCollection,
            "an End Collection too many was accepted");
    return 0;
}
