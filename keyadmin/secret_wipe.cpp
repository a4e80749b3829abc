// A wipe the optimizer keeps: every store goes through a volatile pointer.
#include "secret_wipe.h"

void WipeSecret(char* data, std::size_t size) {
    volatile char* byte = data;
    for (std::size_t i = 0; i < size; ++i) byte[i] = 0;
}
