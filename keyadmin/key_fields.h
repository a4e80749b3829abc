// Reading and writing a 12-cell field of the key, one cell per exchange in
// ascending address order, stopping at the first exchange that gets no reply.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "key_cell_map.h"
#include "key_identity.h"

// Fields and typed texts compare as zero-terminated byte strings.
inline bool SameText(const TextField& a, const TextField& b) {
    return std::strcmp(a.data(), b.data()) == 0;
}

// Whether two fields hold the same 12 bytes, those after a terminator too.
inline bool SameCells(const TextField& a, const TextField& b) {
    return std::equal(a.begin(), a.begin() + kFieldCells, b.begin());
}

// Reads the field at `base` into the first 12 bytes of `field`; the last
// four stay zero. False when an exchange got no reply: the field then holds
// nothing worth using.
bool ReadField(std::uint8_t base, TextField& field);

enum class WriteOutcome : std::uint8_t {
    Written,   // every cell echoed the byte written
    Refused,   // a cell echoed another byte
    LinkLost,  // an exchange got no reply; the cells after it were not sent
};

struct FieldWrite {
    WriteOutcome outcome;
    std::size_t cellsSent;  // cells a write was sent to, the last one included
    // Bit i: what cell base + i holds is unknown. Its write echoed another
    // byte, or got no reply: a write cut off may leave a torn cell, neither
    // the byte before nor the one sent.
    std::uint16_t unknownCells;
};

// Writes the first 12 bytes of `text` to the field at `base` and stops at
// the first cell that does not echo its byte.
FieldWrite WriteField(std::uint8_t base, const TextField& text);

// Writes the first `count` bytes of `old` back to the field at `base`, going
// on past a cell that does not echo its byte (Refused once all are sent).
// After LinkLost the cells after the failed one keep what the interrupted
// write left.
FieldWrite RestoreCells(std::uint8_t base, const TextField& old, std::size_t count);
