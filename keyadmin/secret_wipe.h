// Wiping passwords from memory once they have served.
#pragma once

#include <cstddef>

#include "key_identity.h"

// Zeros `size` bytes through a volatile pointer, so the stores are kept even
// when the buffer is never read again.
void WipeSecret(char* data, std::size_t size);

inline void WipeSecret(TextField& field) {
    WipeSecret(field.data(), field.size());
}
