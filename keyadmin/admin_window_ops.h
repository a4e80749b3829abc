// What the key administration needs from the main window. The window
// defines these on its controls; host tests define a recording fake.
#pragma once

#include "key_identity.h"

// The window that owns the message boxes (the window's handle).
using OwnerWindow = void*;

enum class PasswordEdit : std::uint8_t { Current, NewLogin, NewKey, Confirm };

enum class MessageIcon : std::uint8_t { Warning, Information };

// Sets the text of the status box.
void SetStatusText(const char* text);

// Copies the edit's text into `buffer` as GetWindowTextA does: at most
// limit - 1 bytes and a terminator. Returns the number of bytes copied.
int GetEditText(PasswordEdit edit, char* buffer, int limit);

// Empties the edit.
void EmptyEdit(PasswordEdit edit);

bool IsEditVisible(PasswordEdit edit);

// A modal message box with only an OK button; returns when it is closed.
void ShowMessage(OwnerWindow owner, const char* text, const char* caption, MessageIcon icon);

// Greys the password menu items that the key status does not allow.
void UpdateMenuForStatus(OwnerWindow window, KeyStatus status);
