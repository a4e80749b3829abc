// Reading and writing the virtual key's memory file.
#include "key_file.h"

#include <cstdio>

#include "durable_replace.h"

namespace vkey {

namespace {

constexpr std::string_view kHeader = "KeyAdmin virtual key memory, format 1";

std::uint32_t Crc32(std::string_view text) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : text) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ParseHex(std::string_view hex, std::uint8_t* bytes, std::size_t count) {
    if (hex.size() != count * 2) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

// Takes the next line (without its newline) off `text`; false when no
// complete line is left.
bool NextLine(std::string_view& text, std::string_view& line) {
    const auto end = text.find('\n');
    if (end == std::string_view::npos) return false;
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

// "name value" -> value, or false when the line is not named so.
bool Field(std::string_view line, std::string_view name, std::string_view& value) {
    if (line.size() <= name.size() || line.substr(0, name.size()) != name ||
        line[name.size()] != ' ')
        return false;
    value = line.substr(name.size() + 1);
    return true;
}

KeyFileError CheckHeader(std::string_view text) {
    const std::string_view first = text.substr(0, text.find('\n'));
    if (first == kHeader)
        return text.size() > first.size() ? KeyFileError::None : KeyFileError::Truncated;
    // Cut inside the header line, or a format of another version.
    if (text.size() < kHeader.size() && kHeader.substr(0, text.size()) == text)
        return KeyFileError::Truncated;
    return KeyFileError::Foreign;
}

const char* Describe(KeyFileError error) {
    switch (error) {
        case KeyFileError::Unreadable:
            return "cannot be read";
        case KeyFileError::Empty:
            return "is empty";
        case KeyFileError::Foreign:
            return "is not a KeyAdmin virtual key file (format 1)";
        case KeyFileError::Truncated:
            return "is truncated";
        case KeyFileError::Damaged:
            return "is damaged (a line is malformed or its check fails)";
        default:
            return "is fine";
    }
}

}  // namespace

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string FormatKeyFile(const KeyContents& contents) {
    std::string text = std::string(kHeader) + "\n";
    text += "serial " + Hex(contents.serial.data(), contents.serial.size()) + "\n";
    text += "cells " + Hex(contents.cells.data(), contents.cells.size()) + "\n";
    char check[16];
    std::snprintf(check, sizeof check, "%08x", static_cast<unsigned>(Crc32(text)));
    return text + "check " + check + "\n";
}

KeyFileError ParseKeyFile(std::string_view text, KeyContents& contents) {
    if (text.empty()) return KeyFileError::Empty;
    if (const KeyFileError header = CheckHeader(text); header != KeyFileError::None) return header;

    std::string_view rest = text, header, serialLine, cellsLine, checkLine, value;
    const bool complete = NextLine(rest, header) && NextLine(rest, serialLine) &&
                          NextLine(rest, cellsLine) && NextLine(rest, checkLine);
    if (!complete) {
        // A last line with a name but no newline was cut; so was a missing one.
        return KeyFileError::Truncated;
    }
    if (!rest.empty()) return KeyFileError::Damaged;

    KeyContents read;
    std::uint8_t check[4];
    if (!Field(serialLine, "serial", value) || !ParseHex(value, read.serial.data(), 4) ||
        !Field(cellsLine, "cells", value) ||
        !ParseHex(value, read.cells.data(), read.cells.size()) ||
        !Field(checkLine, "check", value) || !ParseHex(value, check, 4))
        return KeyFileError::Damaged;
    const std::uint32_t stored =
        static_cast<std::uint32_t>(check[0]) << 24 | check[1] << 16 | check[2] << 8 | check[3];
    const std::size_t checked = text.size() - checkLine.size() - 1;
    if (stored != Crc32(text.substr(0, checked))) return KeyFileError::Damaged;
    contents = read;
    return KeyFileError::None;
}

bool LoadKeyFile(const std::string& path, KeyContents& contents, std::string& error) {
    std::string text;
    KeyFileError result = KeyFileError::Unreadable;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[512];
        std::size_t got;
        // A memory file is a few hundred bytes; anything far larger is not one.
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() < 65536)
            text.append(chunk, got);
        const bool readError = std::ferror(file) != 0;
        std::fclose(file);
        result = readError ? KeyFileError::Unreadable : ParseKeyFile(text, contents);
    }
    if (result == KeyFileError::None) return true;
    error = "the virtual key file " + path + " " + Describe(result);
    return false;
}

bool SaveKeyFile(const std::string& path, const KeyContents& contents, std::string& error) {
    std::string reason;
    if (ReplaceFileDurably(path, FormatKeyFile(contents), reason)) return true;
    error = "cannot write the virtual key file " + path + " (" + reason + ")";
    return false;
}

bool OpenKeyFile(const std::string& path, bool makeNew, KeyContents& contents, KeyFileLock& lock,
                 std::string& error) {
    if (!lock.Take(path, error)) return false;
    if (makeNew ? SaveKeyFile(path, contents, error) : LoadKeyFile(path, contents, error))
        return true;
    lock.Release();
    return false;
}

}  // namespace vkey
