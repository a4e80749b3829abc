// Waiting for keys. A key still attached when the wait for a repair begins
// (it fell silent) must be pulled out and plugged in again: only a path that
// arrives anew is looked at, so a silent key costs no time-outs while it
// stays.
#include "repair_wait.h"

#include <algorithm>

#include "key_commands.h"
#include "key_transport.h"
#include "messages.h"
#include "monotonic_clock.h"
#include "output.h"
#include "platform.h"

namespace {

bool Holds(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

void Tell(const std::string& text) {
    WriteErr(text + "\n");
}

}  // namespace

void TakeAttachedKeys(KeyArrivals& arrivals) {
    arrivals.listedBefore = ListKeyPaths();
    arrivals.taken = arrivals.listedBefore;
}

std::vector<std::string> NewArrivals(KeyArrivals& arrivals) {
    std::vector<std::string> listed = ListKeyPaths();
    std::vector<std::string> arrived, taken;
    for (const std::string& path : listed) {
        if (Holds(arrivals.taken, path))
            taken.push_back(path);
        else if (Holds(arrivals.listedBefore, path))
            arrived.push_back(path);
    }
    taken.insert(taken.end(), arrived.begin(), arrived.end());
    arrivals.taken = std::move(taken);
    arrivals.listedBefore = std::move(listed);
    return arrived;
}

RepairOutcome AwaitRepair(bool firstKeyPassword) {
    const std::string serial = SerialText(PendingRepairSerial());
    // A Ctrl-C from before the wait is not meant for it; one pressed once
    // the wait has been told of is.
    ForgetInterrupt();
    Tell(Say(firstKeyPassword ? Message::FirstKeyPasswordMixed : Message::KeyPasswordMixed));
    Tell(Say(Message::WaitingForKey, {serial, std::to_string(kRepairWaitMinutes)}));
    ChooseKeyPath({});
    KeyArrivals arrivals;
    TakeAttachedKeys(arrivals);  // a key still attached has not come back
    const std::uint64_t end = MonotonicMilliseconds() + kRepairWaitMinutes * 60 * 1000;
    while (!InterruptRequested() && MonotonicMilliseconds() < end) {
        PauseUnlessInterrupted(kLookIntervalMs);
        for (const std::string& path : NewArrivals(arrivals)) {
            const RepairOutcome repair = ReadKeyFacts(path).repair;
            if (repair == RepairOutcome::None) continue;
            if (repair != RepairOutcome::NotRepaired) return repair;
            Tell(Say(Message::RepairNotDone, {serial}));
        }
    }
    return RepairOutcome::NotRepaired;
}
