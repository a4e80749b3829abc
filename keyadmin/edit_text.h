// Taking typed text from the password edits: at most 11 bytes, whole code
// page 949 characters only, zeros after the text.
#pragma once

#include "admin_window_ops.h"
#include "key_identity.h"

// Cuts `text` to its first 11 bytes without splitting a double-byte
// character (a lead byte 0x81..0xFE takes the next byte as its trail; a
// character that does not fit whole is dropped) and zeros every byte after
// the text, whatever was there before.
void KeepWholeCharacters(TextField& text);

// Takes the text of `edit` into `text` with the 12-byte limit.
void TakeEditText(PasswordEdit edit, TextField& text);
