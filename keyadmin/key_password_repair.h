// The pending repair of an interrupted key-password change, inside the key
// administration: kept by the change that was interrupted, settled by the
// next operation that finds the key (key_operations.h declares what the
// front ends see of it).
#pragma once

#include <array>
#include <cstdint>

#include "key_identity.h"
#include "key_operations.h"

// What is kept of an interrupted key-password change. All zero while no
// repair is pending: the old and new fields are key passwords.
struct KeyPasswordRepair {
    bool pending = false;
    SerialNumber serial{};
    TextField oldField{};
    TextField newField{};
    std::uint16_t unknownCells = 0;  // bit i: what cell 40 + i holds is unknown
};

// The repair as it is kept, to look at (the tests check what stays in memory).
const KeyPasswordRepair& KeptKeyPasswordRepair();

// Keeps, in memory only, a repair for the key with `serial`: `oldField` as
// read just before the writes and `newField` as written (12 bytes each).
// The bits of `unknownCells` (bit i for cell 40 + i) mark cells whose write
// echoed another byte or got no reply: what they hold is unknown. Replaces a
// repair kept before.
void KeepKeyPasswordRepair(const SerialNumber& serial, const TextField& oldField,
                           const TextField& newField, std::uint16_t unknownCells);

struct SettledRepair {
    RepairOutcome outcome;
    bool keyAnswered;  // false when an exchange got no reply: the key is gone
};

// For the opened key with `serial`, when a repair is pending for it: reads
// the key-password field; a field that holds the new bytes settles the
// repair, one that an interrupted write could have left (each cell old, new
// or unknown) gets the old bytes back, every echo checked. A field the
// interrupted write could not have left is another key's, or was set since:
// it is not written and the repair stays pending. Whatever the repair could
// not put right stays pending (NotRepaired).
SettledRepair SettleKeyPasswordRepair(const SerialNumber& serial);
