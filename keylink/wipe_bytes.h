// Wiping bytes that held a secret once they have served.
#pragma once

#include <cstddef>

// Zeros `size` bytes through a volatile pointer, so the stores are kept even
// when the buffer is never read again.
void WipeBytes(void* data, std::size_t size);
