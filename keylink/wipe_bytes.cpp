// A wipe the optimizer keeps: every store goes through a volatile pointer.
#include "wipe_bytes.h"

void WipeBytes(void* data, std::size_t size) {
    volatile auto* byte = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) byte[i] = 0;
}
