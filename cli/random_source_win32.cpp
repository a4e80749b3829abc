// The random source on Windows: the system-preferred generator of BCrypt.
#include <windows.h>

#include <bcrypt.h>

#include "random_source.h"

bool FillRandom(void* data, std::size_t size) {
    return BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
