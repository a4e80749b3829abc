// The password change in the window: the login password or the key
// password, or the first key password of a factory-initial key, as the
// visible edits say.
#include "admin_texts.h"
#include "key_admin.h"

namespace {

struct ChangeForm {
    PasswordField field;
    const char* caption;
    const char* changedMessage;
    const char* changedKeySilentMessage;  // every cell echoed, no answer after
    PasswordEdit newPasswordEdit;
    TakeText newPassword;
};

constexpr ChangeForm kLoginPasswordForm{
    .field = PasswordField::LoginPassword,
    .caption = kChangeLoginPasswordCaption,
    .changedMessage = kLoginPasswordChangedMessage,
    .changedKeySilentMessage = kLoginPasswordChangedKeySilentMessage,
    .newPasswordEdit = PasswordEdit::NewLogin,
    .newPassword = TakeEdit<PasswordEdit::NewLogin>,
};
constexpr ChangeForm kKeyPasswordForm{
    .field = PasswordField::KeyPassword,
    .caption = kChangeKeyPasswordCaption,
    .changedMessage = kKeyPasswordChangedMessage,
    .changedKeySilentMessage = kKeyPasswordChangedKeySilentMessage,
    .newPasswordEdit = PasswordEdit::NewKey,
    .newPassword = TakeEdit<PasswordEdit::NewKey>,
};

void Warn(OwnerWindow window, const char* text, const char* caption) {
    ShowMessage(window, text, caption, MessageIcon::Warning);
}

// What a change that met a fault during the writes says: the login
// password must be set again; a key password is back as it was, or waits
// for its repair at the next refresh.
const char* ChangeFailedMessage(const ChangeForm& form, const ChangeResult& result) {
    if (form.field == PasswordField::LoginPassword) return kLoginPasswordChangeFailedMessage;
    if (result.after == FieldAfter::Old) return kChangeFailedMessage;
    return result.outcome == ChangeOutcome::Interrupted ? kKeyPasswordChangeInterruptedMessage
                                                        : kKeyPasswordChangeNotRepairedMessage;
}

void ReportChanged(OwnerWindow window, const ChangeForm& form, const ChangeResult& result) {
    if (result.firstKeyPassword) {
        keyIdentity.status = KeyStatus::Connected;
        UpdateMenuForStatus(window, KeyStatus::Connected);
    }
    EmptyEdit(form.newPasswordEdit);
    EmptyEdit(PasswordEdit::Confirm);
    ShowMessage(window, form.changedMessage, form.caption, MessageIcon::Information);
}

// Presents the outcome; 0 for a confirmation that differs, 1 otherwise.
// The key-not-found and wrong-key-password boxes carry the key password's
// caption in both forms.
int Present(OwnerWindow window, const ChangeForm& form, const ChangeResult& result) {
    switch (result.outcome) {
        case ChangeOutcome::NotFound:
            keyIdentity.status = KeyStatus::NotFound;
            Warn(window, kKeyNotFoundMessage, kChangeKeyPasswordCaption);
            break;
        case ChangeOutcome::ConfirmationMismatch:
            Warn(window, kConfirmationMismatchMessage, kChangeKeyPasswordCaption);
            return 0;
        case ChangeOutcome::WrongKeyPassword:
        case ChangeOutcome::WrongKeyState:
            Warn(window, kWrongKeyPasswordMessage, kChangeKeyPasswordCaption);
            break;
        case ChangeOutcome::RepairPending:
            // This key's own repair has just said that it is not done.
            if (result.repair != RepairOutcome::NotRepaired)
                Warn(window, kOtherKeyRepairPendingMessage, kChangeKeyPasswordCaption);
            break;
        case ChangeOutcome::Refused:
            Warn(window, ChangeFailedMessage(form, result), form.caption);
            break;
        case ChangeOutcome::Interrupted:
            keyIdentity.status = KeyStatus::NotFound;
            Warn(window, ChangeFailedMessage(form, result), form.caption);
            break;
        case ChangeOutcome::ChangedKeySilentAfter:
            keyIdentity.status = KeyStatus::NotFound;
            Warn(window, form.changedKeySilentMessage, form.caption);
            break;
        case ChangeOutcome::Changed:
            ReportChanged(window, form, result);
            break;
        case ChangeOutcome::Stopped:  // the window never asks to stop
            break;
    }
    return 1;
}

}  // namespace

int ChangePassword(OwnerWindow window) {
    const ChangeForm* form = IsEditVisible(PasswordEdit::NewKey)     ? &kKeyPasswordForm
                             : IsEditVisible(PasswordEdit::NewLogin) ? &kLoginPasswordForm
                                                                     : nullptr;
    // The window offers the change only with one of the two new-password
    // edits shown; without either there is no typed text to write.
    if (!form) return 1;
    const ChangeResult result =
        ChangeKeyField({form->field, FirstKeyPassword::Allowed, form->newPassword,
                        TakeEdit<PasswordEdit::Confirm>, TakeEdit<PasswordEdit::Current>});
    ShowRepairOutcome(window, result.repair);
    const int presented = Present(window, *form, result);
    WipePasswordBuffers();
    return presented;
}
