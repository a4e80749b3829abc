// The random source on Linux: getrandom(2), from the kernel's pool.
#include <sys/random.h>

#include <cerrno>

#include "random_source.h"

bool FillRandom(void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}
