// Reads and writes held to the device's report lengths, as Wine's HID does.
#include "report_lengths.h"

namespace vhid {

namespace {
constexpr std::uint8_t kNoReportId = 0;
}

bool WriteFitsOutputReport(const ReportLengths& lengths, const std::uint8_t* buffer,
                           std::size_t length) {
    return buffer && length > 0 && length >= lengths.output && buffer[0] == kNoReportId;
}

bool ReadFitsInputReport(const ReportLengths& lengths, std::size_t length) {
    return length >= lengths.input;
}

}  // namespace vhid
