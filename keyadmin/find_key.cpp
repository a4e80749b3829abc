// The first contact of every operation: the key found, its serial number
// read where needed, and a pending key-password repair settled.
#include "find_key.h"

#include "key_link.h"

namespace {

bool ReadSerialNumber(SerialNumber& serial) {
    for (std::uint8_t n = 1; n <= serial.size(); ++n) {
        serial[n - 1] = ReadSerialByte(n);
        if (LastExchangeFailed()) return false;
    }
    return true;
}

}  // namespace

FoundKey FindKey(bool readSerial) {
    FoundKey key{false, false, {}, RepairOutcome::None};
    OpenKey(kKeyGeneration);
    if (IsKeyPresent() != 0) return key;
    if (!readSerial && !KeyPasswordRepairPending()) {
        key.answered = true;
        return key;
    }
    if (!ReadSerialNumber(key.serial)) return key;
    key.serialRead = true;
    const SettledRepair settled = SettleKeyPasswordRepair(key.serial);
    key.repair = settled.outcome;
    key.answered = settled.keyAnswered;
    return key;
}
