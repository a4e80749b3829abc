// What the page's glue needs besides the window operations it defines
// (keyadmin/admin_window_ops.h, in page_window_ops.cpp).
#pragma once

#include <string>

#include "admin_window_ops.h"
#include "key_identity.h"
#include "password_buffers.h"

// Where the page puts the text of a field, in code page 949, before an
// operation.
TextField& TypedTextOf(PasswordEdit edit);

// Which of the two new-password fields the form shows (the window decides
// what to change by it).
void ShowNewPasswordEdit(PasswordEdit edit);

// Wipes every typed text.
void WipeTypedTexts();

// A dialog of the page that the operation waits on.
void ShowPageNotice(const std::string& caption, const std::string& text, bool warning);

// The status line, with a text of the page's own (in the page's language).
void ShowPageStatus(const std::string& text);
