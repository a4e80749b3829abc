// The monotonic clock of the page: the browser's performance.now(), which
// counts from the page's start and never goes back (coarsened by the browser
// to a fraction of a millisecond, fine enough for a limit of seconds).
#include <emscripten.h>

#include "monotonic_clock.h"

std::uint64_t MonotonicMilliseconds() {
    return static_cast<std::uint64_t>(emscripten_get_now());
}
