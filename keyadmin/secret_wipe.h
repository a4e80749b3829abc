// Wiping passwords from memory once they have served.
#pragma once

#include "key_identity.h"
#include "wipe_bytes.h"

inline void WipeSecret(TextField& field) {
    WipeBytes(field.data(), field.size());
}
