// The key link's monotonic clock for host tests: it stands still until the
// test, or the in-process transport playing out a wait, moves it.
#pragma once

#include <cstdint>

namespace fakeclock {

std::uint64_t Now();
void Advance(std::uint64_t milliseconds);
void Reset();  // back to its start

}  // namespace fakeclock
