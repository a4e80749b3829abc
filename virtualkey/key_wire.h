// The key's side of the wire: how the firmware reads an output report and
// builds an input report. Written from the key's point of view and on
// purpose independent of the program's framing code, so that a misreading
// of the format on one side cannot hide on the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vkey {

// The mask the firmware expects in bytes 2..5 (after removing the sequence).
inline constexpr std::array<std::uint8_t, 4> kFirmwareMask{0x3C, 0xA7, 0x19, 0xE2};

enum class FrameKind : std::uint8_t {
    Malformed,   // too short, or the mask bytes are wrong
    ReadCell,    // byte 6 = 0x80
    WriteCell,   // byte 6 = 0xC0
    ReadSerial,  // byte 6 = 4..7
    Other,       // any other command: the firmware ignores it
};

struct DecodedFrame {
    FrameKind kind = FrameKind::Malformed;
    std::uint8_t sequence = 0;
    std::array<std::uint8_t, 3> plain{};  // bytes 6..8 with the sequence removed
    std::uint8_t address = 0;             // ReadCell, WriteCell
    std::uint8_t value = 0;               // WriteCell
    std::uint8_t serialIndex = 0;         // ReadSerial: 1..4
};

DecodedFrame DecodeFrame(const std::uint8_t* report, std::size_t length);

// A reply carries its sequence number in byte 1 and the answer in bytes 2
// and 3: an input report shorter than this cannot carry one.
inline constexpr std::size_t kMinReplyLength = 4;

// Fills an input report carrying `answer` for `sequence`; `noise` is the
// byte the answer is hidden under (byte 3 = answer XOR byte 2). `length` is
// at least kMinReplyLength.
void EncodeReply(std::uint8_t* report, std::size_t length, std::uint8_t sequence,
                 std::uint8_t answer, std::uint8_t noise);

}  // namespace vkey
