// Typed text, cut to whole code page 949 characters.
#include "typed_text.h"

#include <algorithm>
#include <cstdint>

#include "key_cell_map.h"

void KeepWholeCharacters(TextField& text) {
    std::size_t end = 0;
    while (end < kMaxTypedBytes && text[end] != 0) {
        if (!IsCp949LeadByte(text[end])) {
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
