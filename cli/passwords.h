// Passwords: the line typed at a prompt, asking for a password (prompts,
// refusals, tries), the typed texts held until the key administration takes
// them, and key passwords of their own drawn from the random source.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exit_codes.h"
#include "key_identity.h"
#include "messages.h"

// A line typed at a password prompt, as the platforms read it: UTF-8 bytes
// without the line end, in a buffer of its own that is wiped once the line
// has been converted.
struct TypedLine {
    std::array<char, 256> bytes;
    std::size_t length = 0;
    bool cut = false;  // longer than the buffer: read to its end, but refused
};

enum class LineRead : std::uint8_t { Line, Ended, Interrupted };

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

// Asking for a password, into `text` in code page 949. On a terminal, a
// refused text may be typed again (three tries in all); from standard
// input, the first refusal ends the command, before anything on the key was
// changed. Unless a password was taken, `text` is all zeros.
struct Asked {
    ExitCode code;        // Success when a password was taken
    std::string message;  // why not
};

Asked AskPassword(Message prompt, TextField& text);

// The passwords a command asked for, held from the prompt until the key
// administration takes them (its TakeText functions), and wiped afterwards.
struct TypedTexts {
    TextField currentKeyPassword;
    TextField newPassword;
    TextField confirmation;
};

extern TypedTexts typedTexts;

void TakeTypedCurrentKeyPassword(TextField& text);
void TakeTypedNewPassword(TextField& text);
void TakeTypedConfirmation(TextField& text);

void WipeTypedTexts();

// A key password of its own for a key: 11 characters that read and type
// unambiguously, drawn uniformly from the random source (about 64 bits).
inline constexpr std::string_view kRandomPasswordAlphabet =
    "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";
inline constexpr std::size_t kRandomPasswordLength = 11;

// Fills `password` (zeros after the text); false when the random source
// failed, and `password` is then all zeros.
bool DrawRandomPassword(TextField& password);
