// Waiting for keys: keys as they are plugged in, and the wait for the key
// of an interrupted key-password change. Such a key holds bytes that
// neither password unlocks, and only this process knows the old ones: the
// command line tells the user, and looks at every attached key until the
// key with the repair's serial number has been put right (at most
// kRepairWaitMinutes, or until Ctrl-C).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "key_operations.h"
#include "key_transport.h"

inline constexpr std::uint32_t kRepairWaitMinutes = 10;

// How long the command line waits between two looks.
inline constexpr std::uint32_t kLookIntervalMs = 200;

// Keys by their connections: a key pulled out and another plugged in at its
// path is a new connection. A connection is looked at once it has been
// listed at two looks in a row, so that the system has had a look's time to
// set the new device up (on Linux, udev gives the user access a moment after
// the node appears), and at every look after that until a look at it
// succeeds: a key that could not be opened or did not answer is tried again.
struct KeyWatch {
    std::vector<KeyConnection> listedBefore;  // at the last look
    std::vector<std::string> answered;        // looked at and answered: not again while listed
    std::vector<std::string> told;            // could not be read, and said so
};

// Counts every key attached now as listed before: the first look takes them.
void WatchAttachedKeys(KeyWatch& watch);

// The keys to look at now, in the transport's order.
std::vector<KeyConnection> KeysToLookAt(KeyWatch& watch);

// After a look at `key`: when it answered, it is not looked at again while
// it stays; when it did not, true the first time, for the failure to be said
// once.
void MarkAnswered(KeyWatch& watch, const KeyConnection& key);
bool FirstFailure(KeyWatch& watch, const KeyConnection& key);

struct WaitedRepair {
    RepairOutcome outcome;
    std::string path;  // where the key was put right
};

// Tells the user what the key holds, waits for the key of the pending
// repair, and settles it; NotRepaired when the wait ended first (the repair
// is then still pending).
WaitedRepair AwaitRepair(bool firstKeyPassword);
