// A key password of its own for a key: 11 characters that read and type
// unambiguously, drawn uniformly from the system's random source (about 64
// bits).
#pragma once

#include <string_view>

#include "key_identity.h"

inline constexpr std::string_view kRandomPasswordAlphabet =
    "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";
inline constexpr std::size_t kRandomPasswordLength = 11;

// Fills `password` (zeros after the text); false when the random source failed,
// and `password` is then all zeros.
bool DrawRandomPassword(TextField& password);
