// Typed text as the key takes it: at most 11 bytes and zeros after them.
#pragma once

#include <cstdint>

#include "key_identity.h"
#include "key_operations.h"

// Whether `c` leads a double-byte character of code page 949.
inline bool IsCp949LeadByte(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

// Cuts `text` to its first 11 bytes without splitting a double-byte
// character (a lead byte 0x81..0xFE takes the next byte as its trail; a
// character that does not fit whole is dropped) and zeros every byte after
// the text, whatever was there before.
void KeepWholeCharacters(TextField& text);

// Asks `take` for a text and zeros every byte after the first 11, so that
// the text fits a field with its terminator whatever the front end left.
void TakeTyped(TakeText take, TextField& text);
