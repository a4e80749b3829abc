// A line typed at a password prompt, as the platforms read it: UTF-8 bytes
// without the line end, in a buffer of its own that is wiped once the line
// has been converted.
#pragma once

#include <array>
#include <cstddef>

#include "password_input.h"

enum class LineRead : std::uint8_t { Line, Ended, Interrupted };

struct TypedLine {
    std::array<char, 256> bytes;
    std::size_t length = 0;
    bool cut = false;  // longer than the buffer: read to its end, but refused
};

// Appends a byte of the line.
void KeepByte(TypedLine& line, char byte);

// Drops a carriage return before the line feed.
void DropLineEnd(TypedLine& line);

// One byte of standard input, as the platform reads it.
enum class ByteRead : std::uint8_t { Byte, Ended, Interrupted };
using ReadByte = ByteRead (*)(char& byte);

// Reads a line a byte at a time, so that nothing after it is read ahead into
// a buffer that outlives it: Line when any byte came (the last line may lack
// its line feed).
LineRead ReadTypedLine(ReadByte next, TypedLine& line);

// The password in the line, in code page 949 in `text` (all zeros unless
// Taken); wipes the line.
PasswordRead PasswordOfLine(LineRead read, TypedLine& line, TextField& text);
