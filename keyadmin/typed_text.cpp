// Typed text, cut to whole code page 949 characters.
#include "typed_text.h"

#include <algorithm>
#include <cstdint>

#include "key_cell_map.h"

namespace {

bool IsLeadByte(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace

void KeepWholeCharacters(TextField& text) {
    std::size_t end = 0;
    while (end < kMaxTypedBytes && text[end] != 0) {
        if (!IsLeadByte(text[end])) {
            ++end;
            continue;
        }
        // A lead byte without its trail within the limit is dropped.
        if (end + 1 >= kMaxTypedBytes || text[end + 1] == 0) break;
        end += 2;
    }
    std::fill(text.begin() + end, text.end(), 0);
}

void TakeTyped(TakeText take, TextField& text) {
    take(text);
    std::fill(text.begin() + kMaxTypedBytes, text.end(), 0);
}
