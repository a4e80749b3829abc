// The status refresh in the window: the status box says whether a key is
// attached and whether it is factory-initial.
#include "admin_texts.h"
#include "key_admin.h"

namespace {

const char* StatusMessage(KeyStatus status) {
    switch (status) {
        case KeyStatus::Connected:
            return kKeyAttachedStatus;
        case KeyStatus::Initial:
            return kFactoryInitialStatus;
        case KeyStatus::NotFound:
            break;
    }
    return kKeyNotFoundStatus;
}

}  // namespace

int RefreshKeyStatus(OwnerWindow window) {
    const StatusResult result = ReadKeyStatus(keyIdentity);
    ShowRepairOutcome(window, result.repair);
    SetStatusText(StatusMessage(result.status));
    return 1;
}
