// The report lengths Wine's HID class driver holds a device's reads and
// writes to. A write needs a buffer of at least the output report, whose
// first byte is a report ID the device declares (0: the key declares none);
// a read needs a buffer of at least the input report. Anything else fails
// at once with ERROR_INVALID_PARAMETER and never reaches the device; the
// handle stays usable. (A longer write is passed on; the server refuses it.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace vhid {

struct ReportLengths {
    std::size_t input = 0, output = 0;
};

bool WriteFitsOutputReport(const ReportLengths& lengths, const std::uint8_t* buffer,
                           std::size_t length);
bool ReadFitsInputReport(const ReportLengths& lengths, std::size_t length);

}  // namespace vhid
