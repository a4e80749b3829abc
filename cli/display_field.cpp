// A key field shown as UTF-8: character by character, so that one byte the
// code page does not know spoils nothing around it.
#include <cstdint>
#include <cstring>

#include "key_cell_map.h"
#include "text_conversion.h"
#include "typed_text.h"
#include "wipe_bytes.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsControl(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

void DisplayField(const TextField& field, ControlCharacters controls, DisplayText& text) {
    text.fill(0);
    const std::size_t length = strnlen(field.data(), kFieldCells);
    std::size_t out = 0;
    std::array<char, 4> utf8{};
    for (std::size_t at = 0; at < length;) {
        std::size_t taken = 1;
        std::size_t produced = 0;
        if (IsCp949LeadByte(field[at]) && at + 1 < length) {
            produced = DecodeCp949Character(&field[at], 2, utf8);
            if (produced) taken = 2;
        }
        if (!produced && !(controls == ControlCharacters::Replace && IsControl(field[at])))
            produced = DecodeCp949Character(&field[at], 1, utf8);
        if (!produced) {
            std::memcpy(utf8.data(), kReplacement, 3);
            produced = 3;
        }
        std::memcpy(&text[out], utf8.data(), produced);
        out += produced;
        at += taken;
    }
    WipeBytes(utf8.data(), utf8.size());
}
