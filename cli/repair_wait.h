// After a key-password change was interrupted, the key holds bytes that
// neither password unlocks, and only this process knows the old ones. The
// command line therefore tells the user, and waits for that key to be
// plugged in again (at most kRepairWaitMinutes, or until Ctrl-C), and the
// first look at it puts it right.
#pragma once

#include <cstdint>
#include <string>

#include "key_operations.h"

inline constexpr std::uint32_t kRepairWaitMinutes = 10;

// Tells the user what the key holds and waits for the key of the pending
// repair, and settles it; NotRepaired when the wait ended first (the repair
// is then still pending).
RepairOutcome AwaitRepair(bool firstKeyPassword);

// What the repair's outcome means for the user; NotRepaired at the end of
// the wait: that the key is left so.
std::string RepairMessage(RepairOutcome repair, const std::string& serial);
