// Decoding output reports and encoding input reports, as the firmware does.
#include "key_wire.h"

#include <cstring>

namespace vkey {

namespace {

std::uint8_t Unmask(std::uint8_t wire, std::uint8_t sequence, int offset) {
    return static_cast<std::uint8_t>(wire ^ static_cast<std::uint8_t>(sequence + offset));
}

}  // namespace

DecodedFrame DecodeFrame(const std::uint8_t* report, std::size_t length) {
    DecodedFrame frame;
    if (length < 9 || report[0] != 0) return frame;
    frame.sequence = report[1];
    for (int i = 0; i < 4; ++i)
        if (Unmask(report[2 + i], frame.sequence, i) != kFirmwareMask[i]) return frame;
    for (int i = 0; i < 3; ++i) frame.plain[i] = Unmask(report[6 + i], frame.sequence, 4 + i);

    const std::uint8_t command = frame.plain[0];
    // Memory commands carry the address in byte 7, offset by 0x60.
    const auto address = static_cast<std::uint8_t>(frame.plain[1] + 0x60);
    if (command == 0x80) {
        frame.kind = FrameKind::ReadCell;
        frame.address = address;
    } else if (command == 0xC0) {
        frame.kind = FrameKind::WriteCell;
        frame.address = address;
        frame.value = frame.plain[2];
    } else if (command >= 4 && command <= 7) {
        frame.kind = FrameKind::ReadSerial;
        frame.serialIndex = static_cast<std::uint8_t>(command - 3);
    } else {
        frame.kind = FrameKind::Other;
    }
    return frame;
}

void EncodeReply(std::uint8_t* report, std::size_t length, std::uint8_t sequence,
                 std::uint8_t answer, std::uint8_t noise) {
    std::memset(report, 0, length);
    report[1] = sequence;
    report[2] = noise;
    report[3] = static_cast<std::uint8_t>(answer ^ noise);
    // The firmware fills the rest of the report with noise too.
    for (std::size_t i = 4; i < length; ++i)
        report[i] = static_cast<std::uint8_t>(noise * (i + 1) + sequence);
}

}  // namespace vkey
