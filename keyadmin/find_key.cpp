// The first contact of every operation: the key found, its serial number
// read where needed, and a pending key-password repair settled.
#include "find_key.h"

#include "key_link.h"
#include "key_transport.h"
#include "monotonic_clock.h"

namespace {

// The expected key: over the connection still open to it when it answers
// the presence test, else opened anew and checked. A presence test that
// failed at once (the handle of a key pulled out) finds the key again; one
// that waited out its limit does not, so that a silent key costs one limit.
bool ExpectedKeyAnswers() {
    if (OpenedKeyIsExpected()) {
        const std::uint64_t start = MonotonicMilliseconds();
        if (IsKeyPresent() == 0) return true;
        if (keyLink.linkState != 0 || MonotonicMilliseconds() - start >= kExchangeLimitMs)
            return false;
    }
    return OpenKey(kKeyGeneration) != 0;
}

}  // namespace

FoundKey FindKey(bool readSerial) {
    FoundKey key{false, false, {}, RepairOutcome::None};
    if (keyLink.serialExpected) {
        if (!ExpectedKeyAnswers()) return key;
        key.serial = keyLink.keySerial;
    } else {
        OpenKey(kKeyGeneration);
        if (IsKeyPresent() != 0) return key;
        if (!readSerial && !KeyPasswordRepairPending()) {
            key.answered = true;
            return key;
        }
        if (!ReadSerialNumber(key.serial)) return key;
    }
    key.serialRead = true;
    const SettledRepair settled = SettleKeyPasswordRepair(key.serial);
    key.repair = settled.outcome;
    key.answered = settled.keyAnswered;
    return key;
}

bool FindKeySerial(SerialNumber& serial) {
    bool found = OpenKey(kKeyGeneration) != 0;
    if (found && keyLink.serialExpected)
        serial = keyLink.keySerial;  // the check has just read it
    else if (found)
        found = ReadSerialNumber(serial);
    WipeReportBuffers();
    return found;
}
