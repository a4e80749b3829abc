// Waiting for an interrupted key to come back. A key that is still
// attached (it fell silent) must be pulled out and plugged in again: only a
// path that arrives anew is looked at, so a silent key costs no time-outs
// while it stays.
#include "repair_wait.h"

#include <string>

#include "console.h"
#include "interrupt.h"
#include "key_arrivals.h"
#include "key_choice.h"
#include "messages.h"
#include "monotonic_clock.h"
#include "serial_number.h"

namespace {

void Tell(const std::string& text) {
    WriteErr(text + "\n");
}

}  // namespace

std::string RepairMessage(RepairOutcome repair, const std::string& serial) {
    switch (repair) {
        case RepairOutcome::NewKeyPasswordHolds:
            return Say(Message::RepairNewHolds, {serial});
        case RepairOutcome::OldKeyPasswordBack:
            return Say(Message::RepairOldBack, {serial});
        case RepairOutcome::FactoryInitialBack:
            return Say(Message::RepairFactoryBack, {serial});
        case RepairOutcome::NotRepaired:
            return Say(Message::RepairGaveUp, {serial});
        default:
            return {};
    }
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
