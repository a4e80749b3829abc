// The key's commands, each one exchange.
#include "key_link.h"

namespace {

// A command the key does not have is refused without an exchange; it counts
// as a failed one, so that LastExchangeFailed() never speaks of an earlier
// exchange.
std::uint8_t Refuse() {
    keyLink.exchangeFailed = true;
    return 0;
}

}  // namespace

std::uint8_t ReadCell(std::uint8_t address) {
    if (address >= kKeyCellCount) return Refuse();
    return Transact(static_cast<std::uint8_t>((address & 0x3F) | 0x80), address, 0);
}

std::uint8_t WriteCell(std::uint8_t address, std::uint8_t value) {
    if (address >= kKeyCellCount) return Refuse();
    return Transact(static_cast<std::uint8_t>(address | 0xC0), value, 0);
}

std::uint8_t ReadSerialByte(std::uint8_t n) {
    if (n < 1 || n > 4) return Refuse();
    return Transact(static_cast<std::uint8_t>(n + 3), 0, 0);
}

// The status exchange reads serial byte 1: a command every key answers.
std::uint8_t IsKeyPresent() {
    if (keyLink.openedFlag == 0) return 1;
    ReadSerialByte(1);
    if (keyLink.linkState != 1) return 1;
    // A key that sent only foreign replies did not answer either.
    return LastExchangeFailed() ? 1 : 0;
}

bool ReadSerialNumber(SerialNumber& serial) {
    for (std::uint8_t n = 1; n <= serial.size(); ++n) {
        serial[n - 1] = ReadSerialByte(n);
        if (LastExchangeFailed()) return false;
    }
    keyLink.keySerial = serial;
    keyLink.serialRead = true;
    return true;
}
