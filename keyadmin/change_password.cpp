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
    PasswordEdit newPasswordEdit;
    TakeText newPassword;
};

constexpr ChangeForm kLoginPasswordForm{PasswordField::LoginPassword, kChangeLoginPasswordCaption,
                                        kLoginPasswordChangedMessage, PasswordEdit::NewLogin,
                                        TakeEdit<PasswordEdit::NewLogin>};
constexpr ChangeForm kKeyPasswordForm{PasswordField::KeyPassword, kChangeKeyPasswordCaption,
                                      kKeyPasswordChangedMessage, PasswordEdit::NewKey,
                                      TakeEdit<PasswordEdit::NewKey>};

void Warn(OwnerWindow window, const char* text, const char* caption) {
    ShowMessage(window, text, caption, MessageIcon::Warning);
}

// The key answered up to the writes and was lost during them or after.
void ReportChangeFailed(OwnerWindow window, const ChangeForm& form) {
    keyIdentity.status = KeyStatus::NotFound;
    Warn(window, kChangeFailedMessage, form.caption);
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
        case ChangeOutcome::Refused:
            Warn(window, kChangeFailedMessage, form.caption);
            break;
        case ChangeOutcome::Interrupted:
        case ChangeOutcome::ChangedKeySilentAfter:
            ReportChangeFailed(window, form);
            break;
        case ChangeOutcome::Changed:
            ReportChanged(window, form, result);
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
