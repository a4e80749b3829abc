// Taking typed text from the password edits: at most 11 bytes, whole code
// page 949 characters only, zeros after the text.
#pragma once

#include "admin_window_ops.h"
#include "key_identity.h"
#include "typed_text.h"

// Takes the text of `edit` into `text` with the 12-byte limit.
void TakeEditText(PasswordEdit edit, TextField& text);

// An edit as the key administration's TakeText function.
template <PasswordEdit edit>
void TakeEdit(TextField& text) {
    TakeEditText(edit, text);
}
