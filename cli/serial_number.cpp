// Serial numbers and bytes in hex.
#include "serial_number.h"

namespace {

constexpr char kDigits[] = "0123456789abcdef";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string HexOf(const void* bytes, std::size_t count) {
    const auto* byte = static_cast<const std::uint8_t*>(bytes);
    std::string hex;
    hex.reserve(count * 2);  // grown once: a secret's hex leaves no copy behind
    for (std::size_t i = 0; i < count; ++i) {
        hex += kDigits[byte[i] >> 4];
        hex += kDigits[byte[i] & 0x0F];
    }
    return hex;
}

std::string SerialText(const SerialNumber& serial) {
    return HexOf(serial.data(), serial.size());
}

std::optional<SerialNumber> ParseSerial(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    SerialNumber serial{};
    for (std::size_t i = 0; i < 8; ++i) {
        const int digit = DigitValue(text[i]);
        if (digit < 0) return std::nullopt;
        serial[i / 2] = static_cast<std::uint8_t>(serial[i / 2] << 4 | digit);
    }
    return serial;
}
