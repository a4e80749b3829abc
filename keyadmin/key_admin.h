// Key administration: the key's status and identity, and the three
// operations behind the window's buttons. Each operation opens the key
// again, stops at the first exchange that gets no reply, and reports its
// outcome in the status box or in a message box. When it ends, the password
// buffers and the key link's report buffers are wiped.
#pragma once

#include "admin_window_ops.h"
#include "edit_text.h"
#include "key_cell_map.h"
#include "key_identity.h"

// The password texts of the operations. Each operation wipes them when it
// ends, so between operations they are all zero.
struct PasswordBuffers {
    TextField loginPassword;
    TextField storedKeyPassword;
    TextField newPasswordText;
    TextField typedCurrentPassword;
    TextField confirmationText;
};

extern PasswordBuffers passwordBuffers;

// Zeros all password buffers.
void WipePasswordBuffers();

// The key model generation this program opens.
inline constexpr std::uint8_t kKeyGeneration = 8;

// Decides the key status, reads the serial number and login ID of a key
// that answers and sets the status box. Returns 1.
int RefreshKeyStatus();

// Checks the typed key password against the key's and shows the login
// password stored on the key. Returns 1.
int ShowLoginPassword(OwnerWindow window);

// Changes the login password or the key password, or sets the first key
// password of a factory-initial key, as the visible edits say. Returns 0
// when the new key password and its confirmation differ, 1 otherwise.
int ChangePassword(OwnerWindow window);
