// An operation's first contact with the key.
#pragma once

#include "key_operations.h"
#include "key_password_repair.h"

struct FoundKey {
    bool answered;  // false: not found, or an exchange got no reply
    bool serialRead;
    SerialNumber serial;  // when serialRead
    RepairOutcome repair;
};

// Opens the key and runs the presence test; then, when `readSerial` or when
// a key-password repair is pending, reads the serial number and settles the
// repair if it is this key's. With a serial number expected (ExpectKeySerial)
// the key is the expected one or none: the connection still open to it when
// it answers the presence test, else the key opened anew and checked; its
// serial number is known then, and a repair pending for it is settled.
FoundKey FindKey(bool readSerial);
