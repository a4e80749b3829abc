// Passwords on Windows: the console with its echo turned off for the line
// (read as UTF-16, whatever the console's code page), or standard input as
// UTF-8 lines, read a byte at a time so that no line is read ahead.
#include <windows.h>

#include <array>
#include <string_view>

#include "console.h"
#include "interrupt.h"
#include "password_input.h"
#include "typed_line.h"
#include "wipe_bytes.h"

namespace {

ByteRead ReadStandardInput(char& byte) {
    DWORD got = 0;
    return ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) && got == 1
               ? ByteRead::Byte
               : ByteRead::Ended;
}

// One UTF-16 unit at a time, each turned into UTF-8 as it comes (a pair of
// surrogates together).
LineRead ReadConsoleLine(HANDLE input, TypedLine& line) {
    std::array<wchar_t, 2> units{};
    std::size_t pending = 0;
    LineRead read = LineRead::Line;
    for (;;) {
        DWORD got = 0;
        const BOOL ok = ReadConsoleW(input, &units[pending], 1, &got, nullptr);
        if (InterruptRequested()) {
            read = LineRead::Interrupted;
            break;
        }
        if (!ok || got == 0) {
            read = LineRead::Ended;
            break;
        }
        if (units[pending] == L'\n') break;
        if (units[pending] >= 0xD800 && units[pending] < 0xDC00 && pending == 0) {
            pending = 1;
            continue;
        }
        std::array<char, 8> utf8;
        const int length =
            WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(pending + 1),
                                utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
        for (int i = 0; i < length; ++i) KeepByte(line, utf8[i]);
        WipeBytes(utf8.data(), utf8.size());
        pending = 0;
    }
    WipeBytes(units.data(), sizeof units);
    DropLineEnd(line);
    return read;
}

// Echo off before the prompt shows, and back on afterwards.
LineRead ReadLineWithoutEcho(HANDLE input, std::string_view prompt, TypedLine& line) {
    DWORD saved = 0;
    GetConsoleMode(input, &saved);
    SetConsoleMode(input, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                              ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    WriteErr(prompt);
    const LineRead read = ReadConsoleLine(input, line);
    SetConsoleMode(input, saved);
    WriteErr("\n");
    return read;
}

}  // namespace

bool PasswordsFromTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

PasswordRead ReadPassword(std::string_view prompt, TextField& text) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    TypedLine line;
    const LineRead read = PasswordsFromTerminal() ? ReadLineWithoutEcho(input, prompt, line)
                                                  : ReadTypedLine(ReadStandardInput, line);
    return PasswordOfLine(read, line, text);
}
