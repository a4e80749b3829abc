// The status refresh: is a key attached, is it factory-initial, and what
// are its serial number and login ID.
#include "admin_texts.h"
#include "key_admin.h"
#include "key_fields.h"
#include "key_link.h"

namespace {

bool ReadSerialNumber(std::array<std::uint8_t, 4>& serial) {
    for (std::uint8_t n = 1; n <= serial.size(); ++n) {
        serial[n - 1] = ReadSerialByte(n);
        if (LastExchangeFailed()) return false;
    }
    return true;
}

}  // namespace

int RefreshKeyStatus() {
    OpenKey(kKeyGeneration);
    keyIdentity.status = KeyStatus::NotFound;
    const char* message = kKeyNotFoundStatus;

    // Read into locals: a key that stops answering halfway leaves the
    // identity of the last complete refresh, never bytes of stale reports.
    std::array<std::uint8_t, 4> serial{};
    TextField loginId{};
    if (IsKeyPresent() == 0 && ReadSerialNumber(serial) && ReadField(kLoginIdBase, loginId)) {
        const char mark = static_cast<char>(ReadCell(kKeyPasswordBase));
        if (!LastExchangeFailed()) {
            keyIdentity.serial = serial;
            keyIdentity.loginId = loginId;
            const bool initial = mark == kFactoryInitialMark;
            keyIdentity.status = initial ? KeyStatus::Initial : KeyStatus::Connected;
            message = initial ? kFactoryInitialStatus : kKeyAttachedStatus;
        }
    }
    SetStatusText(message);
    WipeReportBuffers();
    return 1;
}
