// Where the key keeps its fields: three 12-cell texts.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kLoginIdBase = 16;
inline constexpr std::uint8_t kLoginPasswordBase = 28;
inline constexpr std::uint8_t kKeyPasswordBase = 40;
inline constexpr std::size_t kFieldCells = 12;

// Cell 40 holds a carriage return while the key has no key password yet.
inline constexpr char kFactoryInitialMark = 0x0D;

// Text taken from an edit: 12 bytes with the terminator, so 11 bytes of text.
inline constexpr std::size_t kMaxTypedBytes = kFieldCells - 1;
