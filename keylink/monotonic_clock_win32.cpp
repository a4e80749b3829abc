// The monotonic clock of the Windows programs: the system's tick count,
// which never goes back and does not wrap in 64 bits. It moves in steps of
// the timer interval (10 to 16 ms), fine enough for a time limit of seconds.
// (The standard library's steady clock would bring the C++ runtime's
// threads library into the window program for this one call.)
#include <windows.h>

#include "monotonic_clock.h"

std::uint64_t MonotonicMilliseconds() {
    return GetTickCount64();
}
