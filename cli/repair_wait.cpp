// Waiting for keys. The wait for a repair expects the repair's serial number,
// so that the link reads nothing but the serial number of any other key.
#include "repair_wait.h"

#include <algorithm>

#include "key_commands.h"
#include "messages.h"
#include "monotonic_clock.h"
#include "output.h"
#include "platform.h"

namespace {

template <typename List, typename Item>
bool Holds(const List& list, const Item& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Keeps the connections of `names` that are listed now.
void KeepListed(std::vector<std::string>& names, const std::vector<KeyConnection>& listed) {
    std::erase_if(names, [&listed](const std::string& name) {
        return std::none_of(listed.begin(), listed.end(),
                            [&name](const KeyConnection& key) { return key.connection == name; });
    });
}

void Tell(const std::string& text) {
    WriteErr(text + "\n");
}

}  // namespace

void WatchAttachedKeys(KeyWatch& watch) {
    watch.listedBefore = ListKeyConnections();
}

std::vector<KeyConnection> KeysToLookAt(KeyWatch& watch) {
    std::vector<KeyConnection> listed = ListKeyConnections();
    KeepListed(watch.answered, listed);
    KeepListed(watch.told, listed);
    std::vector<KeyConnection> due;
    for (const KeyConnection& key : listed)
        if (Holds(watch.listedBefore, key) && !Holds(watch.answered, key.connection))
            due.push_back(key);
    watch.listedBefore = std::move(listed);
    return due;
}

void MarkAnswered(KeyWatch& watch, const KeyConnection& key) {
    watch.answered.push_back(key.connection);
}

bool FirstFailure(KeyWatch& watch, const KeyConnection& key) {
    if (Holds(watch.told, key.connection)) return false;
    watch.told.push_back(key.connection);
    return true;
}

WaitedRepair AwaitRepair(bool firstKeyPassword) {
    const std::string serial = SerialText(PendingRepairSerial());
    // A Ctrl-C from before the wait is not meant for it; one pressed once
    // the wait has been told of is.
    ForgetInterrupt();
    Tell(Say(firstKeyPassword ? Message::FirstKeyPasswordMixed : Message::KeyPasswordMixed));
    Tell(Say(Message::WaitingForKey, {serial, std::to_string(kRepairWaitMinutes)}));
    ExpectKeySerial(PendingRepairSerial());
    KeyWatch watch;
    WatchAttachedKeys(watch);  // a key already back is looked at at once
    const std::uint64_t end = MonotonicMilliseconds() + kRepairWaitMinutes * 60 * 1000;
    WaitedRepair waited{RepairOutcome::NotRepaired, {}};
    while (waited.outcome == RepairOutcome::NotRepaired && !InterruptRequested() &&
           MonotonicMilliseconds() < end) {
        for (const KeyConnection& key : KeysToLookAt(watch)) {
            const KeyFacts facts = ReadKeyFacts(key.path);
            const bool answered = Answered(facts) || facts.failure == DiscoveryFailure::OtherKey;
            if (answered) MarkAnswered(watch, key);
            if (!answered && FirstFailure(watch, key)) Tell(FailureMessage(facts));
            if (facts.repair == RepairOutcome::NotRepaired)
                Tell(Say(Message::RepairNotDone, {serial}));
            else if (facts.repair != RepairOutcome::None)
                waited = {facts.repair, key.path};
            if (waited.outcome != RepairOutcome::NotRepaired) break;
        }
        if (waited.outcome == RepairOutcome::NotRepaired) PauseUnlessInterrupted(kLookIntervalMs);
    }
    ExpectAnyKey();
    return waited;
}
