// The status and identity of the key: is one attached, is it
// factory-initial, and what are its serial number and login ID.
#include "find_key.h"
#include "key_fields.h"
#include "key_link.h"

StatusResult ReadKeyStatus(KeyIdentity& identity) {
    identity.status = KeyStatus::NotFound;
    const FoundKey key = FindKey(true);
    StatusResult result{KeyStatus::NotFound, key.repair};

    // Read into locals: a key that stops answering halfway leaves the
    // identity of the last complete read, never bytes of stale reports.
    TextField loginId{};
    if (key.answered && ReadField(kLoginIdBase, loginId)) {
        const char mark = static_cast<char>(ReadCell(kKeyPasswordBase));
        if (!LastExchangeFailed()) {
            identity.serial = key.serial;
            identity.loginId = loginId;
            identity.status =
                mark == kFactoryInitialMark ? KeyStatus::Initial : KeyStatus::Connected;
            result.status = identity.status;
        }
    }
    WipeReportBuffers();
    return result;
}
