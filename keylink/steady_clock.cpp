// The monotonic clock of the programs: the standard library's steady clock.
#include <chrono>

#include "monotonic_clock.h"

std::uint64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
