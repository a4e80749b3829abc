// Keys as they are plugged in. A path counts as arrived once the transport
// has listed it at two looks in a row, so that the system has had a look's
// time to set the new device up (on Linux, udev gives the user access a
// moment after the node appears). A path that leaves is forgotten, so that a
// key plugged in again at the same path arrives again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct KeyArrivals {
    std::vector<std::string> listedBefore;  // at the last look
    std::vector<std::string> taken;         // arrived, and listed ever since
};

// Counts every key attached now as taken: only keys plugged in later arrive.
void TakeAttachedKeys(KeyArrivals& arrivals);

// The paths that arrived since the last look, in the transport's order.
std::vector<std::string> NewArrivals(KeyArrivals& arrivals);

// How long the command line waits between two looks.
inline constexpr std::uint32_t kLookIntervalMs = 200;
