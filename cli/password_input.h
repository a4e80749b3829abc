// Reading a typed password: from the terminal without echo, or, when
// standard input is not a terminal, one line of standard input. What was
// read is converted into code page 949 (text_conversion.h) and wiped.
#pragma once

#include <cstdint>
#include <string_view>

#include "key_identity.h"

enum class PasswordRead : std::uint8_t {
    Taken,
    TooLong,      // more than 11 bytes in code page 949
    NotCp949,     // no code page 949 form
    Ended,        // standard input ended before a line
    Interrupted,  // Ctrl-C at the prompt
};

// Whether passwords come from a terminal (then prompts are shown, and a
// refused text may be typed again).
bool PasswordsFromTerminal();

// Shows `prompt` (on a terminal only) and reads one password into `text`;
// unless Taken, `text` is all zeros.
PasswordRead ReadPassword(std::string_view prompt, TextField& text);
