// The standard streams on Windows: UTF-16 through WriteConsoleW when the
// stream is a console, whatever its code page; UTF-8 bytes through WriteFile
// when it is a file or a pipe.
#include <windows.h>

#include <array>

#include "console.h"
#include "wipe_bytes.h"

namespace {

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

}  // namespace

void StartConsole() {}

bool WriteOut(std::string_view utf8) {
    return WriteTo(STD_OUTPUT_HANDLE, utf8);
}

bool WriteErr(std::string_view utf8) {
    return WriteTo(STD_ERROR_HANDLE, utf8);
}
