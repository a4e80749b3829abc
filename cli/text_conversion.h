// Texts between the user and the key: the key keeps code page 949 bytes, the
// user types and reads UTF-8 (the Windows console's UTF-16 is turned into
// UTF-8 first). A typed text that does not fit 11 bytes of code page 949, or
// has no code page 949 form, is refused whole: it is never cut.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "key_identity.h"

enum class TypedText : std::uint8_t {
    Taken,
    TooLong,   // more than 11 bytes in code page 949
    NotCp949,  // a character code page 949 cannot write, a zero byte, or not UTF-8
};

// Converts typed UTF-8 into `text`: code page 949 bytes, zeros after them.
// Unless Taken, `text` is all zeros.
TypedText EncodeTypedText(std::string_view utf8, TextField& text);

// One code page 949 character (1 or 2 bytes) as UTF-8 in `utf8`: its length,
// or 0 when the bytes are not a character of code page 949.
std::size_t DecodeCp949Character(const char* bytes, std::size_t count, std::array<char, 4>& utf8);

// A key field as UTF-8, zero-terminated: every byte that is not part of a
// code page 949 character becomes U+FFFD, and so does a control character
// when the text is for a terminal.
using DisplayText = std::array<char, 64>;
enum class ControlCharacters : std::uint8_t { Keep, Replace };
void DisplayField(const TextField& field, ControlCharacters controls, DisplayText& text);
