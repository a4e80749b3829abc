#include "fake_clock.h"

#include "monotonic_clock.h"

namespace fakeclock {

namespace {

// Not zero, so that an exchange's start is never mistaken for "no time".
constexpr std::uint64_t kStart = 1000000;
std::uint64_t now = kStart;

}  // namespace

std::uint64_t Now() {
    return now;
}
void Advance(std::uint64_t milliseconds) {
    now += milliseconds;
}
void Reset() {
    now = kStart;
}

}  // namespace fakeclock

std::uint64_t MonotonicMilliseconds() {
    return fakeclock::Now();
}
