// What the key link's own files share and nothing outside the key link
// calls.
#pragma once

#include <cstdint>

// Discovers the key (DiscoverKey) and, while a serial number is expected,
// reads the serial number of the key found and compares it before anything
// else goes to it; another key is closed again (DiscoveryFailure::OtherKey).
// Sets keyLink.linkState and returns it: 1 for the key to use.
std::int32_t DiscoverExpectedKey();

// One framed exchange over the link as it is, without finding a lost key
// again: the answer byte, or 0 with keyLink.exchangeFailed.
std::uint8_t ExchangeFrame(std::uint8_t byte6, std::uint8_t byte7, std::uint8_t byte8);
