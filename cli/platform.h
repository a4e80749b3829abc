// What keyadmin-cli takes from the system it runs on, in two halves, each
// one file per platform:
//   the terminal (platform_posix.cpp, platform_win32.cpp): the standard
//     streams, Ctrl-C and the waits it cuts short, passwords typed without
//     echo, and the random source; host tests play it by a script
//     (tests/support/scripted_terminal);
//   the locale (locale_posix.cpp, locale_win32.cpp): the user's language,
//     and texts between the user's characters and the key's code page 949;
//     host tests use it as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "key_identity.h"
#include "messages.h"
#include "passwords.h"

// --- The standard streams: results to standard output; prompts, progress
// and failures to standard error. Texts are UTF-8, written straight through
// with no library buffer in between, so that no copy of a secret is left
// behind. A Windows console is written UTF-16, so that Korean reads whatever
// its code page.

// Prepares the streams; once, at the start. A closed output then shows as a
// failed write rather than ending the program.
void StartConsole();

// False when not all of `utf8` could be written.
bool WriteOut(std::string_view utf8);
bool WriteErr(std::string_view utf8);

// --- The process: it holds passwords, so no core file of it is written
// and no other user's process may trace it or read its memory. Once, at
// the start.
void GuardProcessMemory();

// --- Ctrl-C. It never stops an operation on the key halfway (that could
// leave a key password nothing unlocks): it is noted, and the command looks
// at it between operations, at a prompt and in its waits for a key. So are
// the requests to end that the platform sends when the terminal closes or
// the system asks the program to end, and Ctrl-\ on POSIX.

// Takes over Ctrl-C; once, at the start.
void WatchForInterrupt();

// Whether Ctrl-C was pressed since the start or the last ForgetInterrupt.
bool InterruptRequested();
void ForgetInterrupt();

// Waits `milliseconds`, or less when Ctrl-C is pressed meanwhile.
void PauseUnlessInterrupted(std::uint32_t milliseconds);

// --- Typed passwords.

// Whether passwords come from a terminal (then prompts are shown, and a
// refused text may be typed again).
bool PasswordsFromTerminal();

// Shows `prompt` and reads a line from the terminal with echo off (off
// before the prompt shows, back on whatever happens, and while the program
// is stopped at the prompt, after which the prompt shows again); when
// standard input is not a terminal, reads one line of it, a byte at a time,
// with no prompt.
LineRead ReadPasswordLine(std::string_view prompt, TypedLine& line);

// --- The random source: fills `size` bytes; false when the system could not.
bool FillRandom(void* data, std::size_t size);

// --- The locale.

// The language of the user's interface: the locale on POSIX (LC_ALL, then
// LC_MESSAGES, then LANG), the user's UI language on Windows. Korean when it
// is Korean (on POSIX, language ko in a locale whose character set is
// UTF-8), English otherwise.
Language UserLanguage();

// Typed text into code page 949, as the key keeps it: on POSIX in the
// character set of the locale (LC_ALL, LC_CTYPE, LANG; UTF-8 for ASCII),
// on Windows UTF-8. A text that does not fit 11 bytes, or has no code page
// 949 form, is refused whole: never cut. The converters leave no copy.
enum class TypedText : std::uint8_t {
    Taken,
    TooLong,   // more than 11 bytes in code page 949
    NotCp949,  // a character code page 949 cannot write, a zero byte, or not text
};

// Converts `typed` into `text`: code page 949 bytes, zeros after them. Unless
// Taken, `text` is all zeros.
TypedText EncodeTypedText(std::string_view typed, TextField& text);

// One code page 949 character (1 or 2 bytes) as UTF-8 in `utf8`: its length,
// or 0 when the bytes are not a character of code page 949.
std::size_t DecodeCp949Character(const char* bytes, std::size_t count, std::array<char, 4>& utf8);
