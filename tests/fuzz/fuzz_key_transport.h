// The key link's transport seam served by a hostile key: whether the key is
// found and with which report lengths, whether each write is taken, and what
// each read delivers (the key's true answer, a lie, a foreign report, no
// report at all, a failed read, or a read that claims success and delivers
// nothing) all come from the fuzzer's bytes. When the bytes run out the key
// behaves. The transport writes down, for every frame sent, whether a report
// carrying its sequence number was really delivered and what it answered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "key_wire.h"

namespace fuzzkey {

struct Exchange {
    vkey::DecodedFrame frame;  // as the key reads it
    bool taken = false;        // the write went through
    bool answered = false;     // a report with the frame's sequence number was delivered
    std::uint8_t answer = 0;   // that report's answer byte
};

struct KeyMemory {
    std::array<std::uint8_t, 59> cells{};
    std::array<std::uint8_t, 4> serial{};
};

// Starts a run on these bytes with this key.
void Begin(const std::uint8_t* data, std::size_t size, const KeyMemory& memory);

// The next byte of the run, 0 once they are used up.
std::uint8_t NextByte();

// The frames sent since the last ClearExchanges(), in order.
const std::vector<Exchange>& Exchanges();
void ClearExchanges();

}  // namespace fuzzkey
