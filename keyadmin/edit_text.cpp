// Typed text taken from the window's password edits.
#include "edit_text.h"

#include "key_cell_map.h"

void TakeEditText(PasswordEdit edit, TextField& text) {
    GetEditText(edit, text.data(), static_cast<int>(kMaxTypedBytes + 1));
    KeepWholeCharacters(text);
}
