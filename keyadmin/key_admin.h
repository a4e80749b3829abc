// Key administration in the window: the three operations behind the
// window's buttons. Each runs its operation of key_operations.h and presents
// the outcome in the status box or in message boxes, through the window
// operations of admin_window_ops.h; a key-password repair settled on the way
// is told first, in a box of its own. When it ends, the password buffers and
// the key link's report buffers are wiped.
#pragma once

#include "admin_window_ops.h"
#include "edit_text.h"
#include "key_cell_map.h"
#include "key_identity.h"
#include "key_operations.h"
#include "password_buffers.h"

// Decides the key status, reads the serial number and login ID of a key
// that answers and sets the status box; `window` owns the box of a repair.
// Returns 1.
int RefreshKeyStatus(OwnerWindow window = nullptr);

// Checks the typed key password against the key's and shows the login
// password stored on the key. Returns 1.
int ShowLoginPassword(OwnerWindow window);

// Changes the login password or the key password, or sets the first key
// password of a factory-initial key, as the visible edits say. Returns 0
// when the new key password and its confirmation differ, 1 otherwise.
int ChangePassword(OwnerWindow window);

// Tells the user, in a box owned by `window`, which key password holds
// after a repair; nothing for RepairOutcome::None.
void ShowRepairOutcome(OwnerWindow window, RepairOutcome repair);
