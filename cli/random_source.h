// The operating system's random source, for key passwords of their own.
#pragma once

#include <cstddef>

// Fills `size` bytes; false when the system could not.
bool FillRandom(void* data, std::size_t size);
