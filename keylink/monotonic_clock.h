// The clock the key link measures an exchange's time limit by: monotonic,
// in milliseconds from an arbitrary start. The programs take it from
// steady_clock.cpp (monotonic_clock_win32.cpp on Windows); host tests supply
// a clock they move themselves.
#pragma once

#include <cstdint>

std::uint64_t MonotonicMilliseconds();
