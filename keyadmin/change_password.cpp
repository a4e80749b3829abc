// The password change: the login password or the key password, or the
// first key password of a factory-initial key.
#include "admin_texts.h"
#include "key_admin.h"
#include "key_fields.h"
#include "key_link.h"

namespace {

struct ChangeMode {
    std::uint8_t base;
    const char* caption;
    const char* changedMessage;
    PasswordEdit newPasswordEdit;
    // A key password half written unlocks nothing, so a refused write puts
    // the old bytes back; they were read just before. The old login password
    // is never read by a change, so it cannot be put back.
    bool restoresOnRefusal;
};

constexpr ChangeMode kLoginPasswordChange{kLoginPasswordBase, kChangeLoginPasswordCaption,
                                          kLoginPasswordChangedMessage, PasswordEdit::NewLogin,
                                          false};
constexpr ChangeMode kKeyPasswordChange{kKeyPasswordBase, kChangeKeyPasswordCaption,
                                        kKeyPasswordChangedMessage, PasswordEdit::NewKey, true};

void Warn(OwnerWindow window, const char* text, const char* caption) {
    ShowMessage(window, text, caption, MessageIcon::Warning);
}

void ReportKeyNotFound(OwnerWindow window) {
    keyIdentity.status = KeyStatus::NotFound;
    Warn(window, kKeyNotFoundMessage, kChangeKeyPasswordCaption);
}

// Writes the new password text to the mode's field. True when every cell
// echoed its byte and the key still answers afterwards.
// - A cell that echoes another byte ends the writes there. The key answered,
//   so it is still there; a key password gets its old bytes back, the refused
//   cell included (what the key made of that write is unknown).
// - A key that stopped answering during the writes is not asked again: a
//   silent key would cost a second read timeout, and a pulled one cannot be
//   mended from here. Nothing is rolled back.
bool WriteNewPassword(const ChangeMode& mode) {
    std::size_t cellsSent = 0;
    switch (WriteField(mode.base, passwordBuffers.newPasswordText, cellsSent)) {
        case WriteOutcome::Written:
            if (IsKeyPresent() == 0) return true;
            break;
        case WriteOutcome::Refused:
            if (!mode.restoresOnRefusal ||
                RestoreCells(mode.base, passwordBuffers.storedKeyPassword, cellsSent))
                return false;
            break;
        case WriteOutcome::LinkLost:
            break;
    }
    keyIdentity.status = KeyStatus::NotFound;
    return false;
}

int Change(OwnerWindow window, const ChangeMode& mode, bool firstKeyPassword) {
    if (!WriteNewPassword(mode)) {
        Warn(window, kChangeFailedMessage, mode.caption);
        return 1;
    }
    if (firstKeyPassword) {
        keyIdentity.status = KeyStatus::Connected;
        UpdateMenuForStatus(window, KeyStatus::Connected);
    }
    EmptyEdit(mode.newPasswordEdit);
    EmptyEdit(PasswordEdit::Confirm);
    ShowMessage(window, mode.changedMessage, mode.caption, MessageIcon::Information);
    return 1;
}

int CheckAndChange(OwnerWindow window) {
    PasswordBuffers& text = passwordBuffers;
    OpenKey(kKeyGeneration);
    if (IsKeyPresent() != 0) {
        ReportKeyNotFound(window);
        return 1;
    }
    // The confirmation is checked before any cell is read.
    const bool keyPasswordForm = IsEditVisible(PasswordEdit::NewKey);
    if (keyPasswordForm) {
        TakeEditText(PasswordEdit::NewKey, text.newPasswordText);
        TakeEditText(PasswordEdit::Confirm, text.confirmationText);
        if (!SameText(text.newPasswordText, text.confirmationText)) {
            Warn(window, kConfirmationMismatchMessage, kChangeKeyPasswordCaption);
            return 0;
        }
    }
    if (!ReadField(kKeyPasswordBase, text.storedKeyPassword)) {
        ReportKeyNotFound(window);
        return 1;
    }
    TakeEditText(PasswordEdit::Current, text.typedCurrentPassword);

    if (SameText(text.storedKeyPassword, text.typedCurrentPassword)) {
        if (IsEditVisible(PasswordEdit::NewLogin)) {
            TakeEditText(PasswordEdit::NewLogin, text.newPasswordText);
            return Change(window, kLoginPasswordChange, false);
        }
        // The window offers the change only with one of the two new-password
        // edits shown; without either there is no typed text to write.
        if (!keyPasswordForm) return 1;
        return Change(window, kKeyPasswordChange, false);
    }
    if (text.storedKeyPassword[0] == kFactoryInitialMark && keyPasswordForm)
        return Change(window, kKeyPasswordChange, true);
    Warn(window, kWrongKeyPasswordMessage, kChangeKeyPasswordCaption);
    return 1;
}

}  // namespace

int ChangePassword(OwnerWindow window) {
    const int result = CheckAndChange(window);
    WipePasswordBuffers();
    WipeReportBuffers();
    return result;
}
