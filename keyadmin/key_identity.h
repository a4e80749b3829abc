// What the program knows about the attached key: its status and, from the
// last refresh that reached it, its serial number and login ID.
#pragma once

#include <array>
#include <cstdint>

#include "key_link.h"

enum class KeyStatus : std::uint8_t { NotFound = 0, Connected = 1, Initial = 2 };

// A 12-byte key field and four bytes that stay zero, so a field read from
// the key is a zero-terminated string even when all 12 cells are non-zero.
using TextField = std::array<char, 16>;

struct KeyIdentity {
    KeyStatus status = KeyStatus::NotFound;
    SerialNumber serial{};
    TextField loginId{};
};

extern KeyIdentity keyIdentity;
