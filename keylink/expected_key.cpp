// The key a front end expects: every key the link opens is checked by its
// serial number before anything else is read from it or written to it.
#include "key_link.h"
#include "key_transport.h"
#include "link_internals.h"

void ExpectKeySerial(const SerialNumber& serial) {
    // The key open now goes on being used only when it is known to have it.
    if (keyLink.keySerial != serial) keyLink.serialRead = false;
    keyLink.serialExpected = true;
    keyLink.expectedSerial = serial;
}

void ExpectAnyKey() {
    keyLink.serialExpected = false;
}

bool OpenedKeyIsExpected() {
    // While a serial number is expected, a serial number read on this
    // connection is the expected one (see key_link.h); CloseKey and a lost
    // link leave the link state at 0.
    return keyLink.serialExpected && keyLink.serialRead && keyLink.linkState == 1;
}

std::int32_t DiscoverExpectedKey() {
    keyLink.serialRead = false;
    keyLink.linkState = DiscoverKey();
    if (keyLink.linkState != 1 || !keyLink.serialExpected) return keyLink.linkState;
    // The serial bytes' command, as ReadSerialByte sends it, over this
    // connection only: ExchangeFrame finds no key again.
    for (std::uint8_t n = 1; n <= keyLink.keySerial.size(); ++n) {
        keyLink.keySerial[n - 1] = ExchangeFrame(static_cast<std::uint8_t>(n + 3), 0, 0);
        if (keyLink.exchangeFailed) return keyLink.linkState = 0;
    }
    keyLink.serialRead = true;
    if (keyLink.keySerial == keyLink.expectedSerial) return 1;
    CloseKey();
    keyLink.discoveryFailure = DiscoveryFailure::OtherKey;
    return 0;
}
