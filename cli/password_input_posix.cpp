// Passwords on POSIX: the terminal with its echo turned off for the line,
// or standard input, read with read(2) a byte at a time so that no line is
// read ahead into a buffer that outlives it.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "console.h"
#include "interrupt.h"
#include "password_input.h"
#include "typed_line.h"

namespace {

ByteRead ReadStandardInput(char& byte) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return ByteRead::Byte;
        if (got < 0 && errno == EINTR && !InterruptRequested()) continue;
        return got < 0 && errno == EINTR ? ByteRead::Interrupted : ByteRead::Ended;
    }
}

// Shows the prompt and reads a line from the terminal with echo off: off
// before the prompt shows (whatever was typed before it is dropped), and
// back on whatever happens, Ctrl-C included.
LineRead ReadLineWithoutEcho(std::string_view prompt, TypedLine& line) {
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    WriteErr(prompt);
    const LineRead read = ReadTypedLine(ReadStandardInput, line);
    if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (read != LineRead::Line) WriteErr("\n");
    return read;
}

}  // namespace

bool PasswordsFromTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

PasswordRead ReadPassword(std::string_view prompt, TextField& text) {
    TypedLine line;
    const LineRead read = PasswordsFromTerminal() ? ReadLineWithoutEcho(prompt, line)
                                                  : ReadTypedLine(ReadStandardInput, line);
    return PasswordOfLine(read, line, text);
}
