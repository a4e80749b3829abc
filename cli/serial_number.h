// A key's serial number as the user reads and types it: 8 hex digits,
// serial byte 1 first ("4b41d001"); and bytes as hex for the JSON document.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "key_identity.h"

std::string SerialText(const SerialNumber& serial);

// The serial number in `text` (upper or lower case); none unless it is
// exactly 8 hex digits.
std::optional<SerialNumber> ParseSerial(std::string_view text);

// Two lower-case hex digits per byte.
std::string HexOf(const void* bytes, std::size_t count);
