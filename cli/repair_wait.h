// Waiting for keys: keys as they are plugged in, and the wait for the key
// of an interrupted key-password change. Such a key holds bytes that
// neither password unlocks, and only this process knows the old ones: the
// command line tells the user, and waits for that key to be plugged in
// again (at most kRepairWaitMinutes, or until Ctrl-C); the first look at it
// puts it right.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "key_operations.h"

inline constexpr std::uint32_t kRepairWaitMinutes = 10;

// How long the command line waits between two looks.
inline constexpr std::uint32_t kLookIntervalMs = 200;

// A path counts as arrived once the transport has listed it at two looks in
// a row, so that the system has had a look's time to set the new device up
// (on Linux, udev gives the user access a moment after the node appears). A
// path that leaves is forgotten, so that a key plugged in again at the same
// path arrives again.
struct KeyArrivals {
    std::vector<std::string> listedBefore;  // at the last look
    std::vector<std::string> taken;         // arrived, and listed ever since
};

// Counts every key attached now as taken: only keys plugged in later arrive.
void TakeAttachedKeys(KeyArrivals& arrivals);

// The paths that arrived since the last look, in the transport's order.
std::vector<std::string> NewArrivals(KeyArrivals& arrivals);

// Tells the user what the key holds, waits for the key of the pending
// repair, and settles it; NotRepaired when the wait ended first (the repair
// is then still pending).
RepairOutcome AwaitRepair(bool firstKeyPassword);
