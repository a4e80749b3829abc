// Drawing a key password: each character from one random byte, a byte that
// would favour the first characters of the alphabet being drawn again.
#include "random_password.h"

#include <array>
#include <cstdint>

#include "random_source.h"
#include "wipe_bytes.h"

namespace {

// The largest multiple of the alphabet's size that a byte can hold.
constexpr unsigned kUsableBytes =
    256 / kRandomPasswordAlphabet.size() * kRandomPasswordAlphabet.size();

}  // namespace

bool DrawRandomPassword(TextField& password) {
    password.fill(0);
    std::array<std::uint8_t, 32> pool;
    std::size_t used = pool.size();
    std::size_t length = 0;
    bool drawn = true;
    while (drawn && length < kRandomPasswordLength) {
        if (used == pool.size()) {
            drawn = FillRandom(pool.data(), pool.size());
            used = 0;
            continue;
        }
        const std::uint8_t byte = pool[used++];
        if (byte < kUsableBytes)
            password[length++] = kRandomPasswordAlphabet[byte % kRandomPasswordAlphabet.size()];
    }
    WipeBytes(pool.data(), pool.size());
    if (!drawn) WipeBytes(password.data(), password.size());
    return drawn;
}
