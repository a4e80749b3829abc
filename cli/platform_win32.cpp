// The terminal on Windows: the standard streams as UTF-16 through
// WriteConsoleW when the stream is a console, whatever its code page, and as
// UTF-8 bytes through WriteFile when it is a file or a pipe; Ctrl-C noted by
// the console's control handler, which also sets an event that cuts a wait
// short; passwords from the console with its echo turned off for the line
// (read as UTF-16, whatever the console's code page), or from standard input
// as UTF-8 lines read a byte at a time, so that no line is read ahead; and
// the random source, BCrypt's system-preferred generator.
#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <atomic>

#include "platform.h"
#include "wipe_bytes.h"

namespace {

std::atomic<bool> interrupted{false};
HANDLE interruptEvent = nullptr;  // manual-reset, set by the handler

BOOL WINAPI OnControl(DWORD) {
    interrupted = true;
    if (interruptEvent) SetEvent(interruptEvent);
    return TRUE;
}

// The length of the longest prefix of `text`, at most `limit` bytes, that
// ends between two UTF-8 sequences.
std::size_t WholeSequences(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end > 0 ? end : limit;
}

bool WriteToConsole(HANDLE console, std::string_view text) {
    std::array<wchar_t, 1024> wide;  // a UTF-8 byte gives at most one UTF-16 unit
    bool written = true;
    while (written && !text.empty()) {
        const std::size_t take = WholeSequences(text, wide.size());
        const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(take),
                                              wide.data(), static_cast<int>(wide.size()));
        DWORD done = 0;
        written = units > 0 &&
                  WriteConsoleW(console, wide.data(), static_cast<DWORD>(units), &done, nullptr) &&
                  done == static_cast<DWORD>(units);
        text.remove_prefix(take);
    }
    WipeBytes(wide.data(), sizeof wide);
    return written;
}

bool WriteToFile(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        DWORD done = 0;
        if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) ||
            done == 0)
            return false;
        text.remove_prefix(done);
    }
    return true;
}

bool WriteTo(DWORD stream, std::string_view text) {
    HANDLE handle = GetStdHandle(stream);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) ? WriteToConsole(handle, text) : WriteToFile(handle, text);
}

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

// Another user's process may not open this one (the default security of a
// process), and Windows writes no core file of it.
void GuardProcessMemory() {}

void StartConsole() {}

bool WriteOut(std::string_view utf8) {
    return WriteTo(STD_OUTPUT_HANDLE, utf8);
}

bool WriteErr(std::string_view utf8) {
    return WriteTo(STD_ERROR_HANDLE, utf8);
}

void WatchForInterrupt() {
    interruptEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool InterruptRequested() {
    return interrupted;
}

void ForgetInterrupt() {
    interrupted = false;
    if (interruptEvent) ResetEvent(interruptEvent);
}

void PauseUnlessInterrupted(std::uint32_t milliseconds) {
    if (interruptEvent)
        WaitForSingleObject(interruptEvent, milliseconds);
    else
        Sleep(milliseconds);
}

bool PasswordsFromTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

LineRead ReadPasswordLine(std::string_view prompt, TypedLine& line) {
    return PasswordsFromTerminal()
               ? ReadLineWithoutEcho(GetStdHandle(STD_INPUT_HANDLE), prompt, line)
               : ReadTypedLine(ReadStandardInput, line);
}

bool FillRandom(void* data, std::size_t size) {
    return BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
