// Reading and writing a 12-cell field of the key, one cell per exchange in
// ascending address order, stopping at the first exchange that gets no reply.
#pragma once

#include <cstdint>
#include <cstring>

#include "key_identity.h"

// Fields and typed texts compare as zero-terminated byte strings.
inline bool SameText(const TextField& a, const TextField& b) {
    return std::strcmp(a.data(), b.data()) == 0;
}

// Reads the field at `base` into the first 12 bytes of `field`; the last
// four stay zero. False when an exchange got no reply: the field then holds
// nothing worth using.
bool ReadField(std::uint8_t base, TextField& field);

enum class WriteOutcome : std::uint8_t {
    Written,   // every cell echoed the byte written
    Refused,   // the key answered every write, but an echo differed from its byte
    LinkLost,  // an exchange got no reply; the cells after it were not sent
};

// Writes the first 12 bytes of `text` to the field at `base`, comparing each
// echo with the byte written.
WriteOutcome WriteField(std::uint8_t base, const TextField& text);
