// The password change: the login password or the key password, or the
// first key password of a factory-initial key.
#include "find_key.h"
#include "key_fields.h"
#include "key_link.h"
#include "typed_text.h"

namespace {

struct WriteResult {
    ChangeOutcome outcome;
    FieldAfter after;
};

// Writes the new password text to the field.
// - A cell that echoes another byte ends the writes there. The key answered,
//   so it is still there; a key password gets its old bytes back, the refused
//   cell included (what the key made of that write is unknown). The old
//   login password is never read by a change, so it cannot be put back.
// - A key that stopped answering during the writes is not asked again: a
//   silent key would cost a second read timeout, and a pulled one cannot be
//   mended from here.
WriteResult WriteNewPassword(PasswordField field) {
    const PasswordBuffers& text = passwordBuffers;
    const bool keyPassword = field == PasswordField::KeyPassword;
    const std::uint8_t base = keyPassword ? kKeyPasswordBase : kLoginPasswordBase;
    const FieldWrite write = WriteField(base, text.newPasswordText);
    if (write.outcome == WriteOutcome::Written) {
        if (IsKeyPresent() == 0) return {ChangeOutcome::Changed, FieldAfter::New};
        return {ChangeOutcome::ChangedKeySilentAfter, FieldAfter::New};
    }
    if (write.outcome == WriteOutcome::Refused) {
        if (!keyPassword) return {ChangeOutcome::Refused, FieldAfter::Mixed};
        const FieldWrite restore = RestoreCells(base, text.storedKeyPassword, write.cellsSent);
        if (restore.outcome != WriteOutcome::LinkLost)
            return {ChangeOutcome::Refused, FieldAfter::Old};
    }
    return {ChangeOutcome::Interrupted, FieldAfter::Mixed};
}

enum class Permission : std::uint8_t { Change, FirstKeyPassword, WrongKeyPassword, WrongKeyState };

// Whether the typed current key password, or the factory-initial rule, lets
// the change write. The current key password is asked for only when it
// decides.
Permission Permits(const ChangeRequest& request) {
    PasswordBuffers& text = passwordBuffers;
    const bool keyPassword = request.field == PasswordField::KeyPassword;
    const bool initial = text.storedKeyPassword[0] == kFactoryInitialMark;
    if (keyPassword && request.firstKeyPassword == FirstKeyPassword::Only)
        return initial ? Permission::FirstKeyPassword : Permission::WrongKeyState;
    if (keyPassword && request.firstKeyPassword == FirstKeyPassword::Refused && initial)
        return Permission::WrongKeyState;
    TakeTyped(request.currentKeyPassword, text.typedCurrentPassword);
    if (SameText(text.storedKeyPassword, text.typedCurrentPassword)) return Permission::Change;
    if (keyPassword && initial) return Permission::FirstKeyPassword;
    return Permission::WrongKeyPassword;
}

ChangeResult Change(const ChangeRequest& request, RepairOutcome repair) {
    PasswordBuffers& text = passwordBuffers;
    ChangeResult result{ChangeOutcome::NotFound, FieldAfter::Old, false, repair};
    const bool keyPassword = request.field == PasswordField::KeyPassword;
    // The confirmation is checked before any cell is read.
    if (keyPassword) {
        TakeTyped(request.newPassword, text.newPasswordText);
        TakeTyped(request.confirmation, text.confirmationText);
        if (!SameText(text.newPasswordText, text.confirmationText)) {
            result.outcome = ChangeOutcome::ConfirmationMismatch;
            return result;
        }
    }
    if (!ReadField(kKeyPasswordBase, text.storedKeyPassword)) return result;
    const Permission permission = Permits(request);
    if (permission == Permission::WrongKeyPassword || permission == Permission::WrongKeyState) {
        result.outcome = permission == Permission::WrongKeyPassword
                             ? ChangeOutcome::WrongKeyPassword
                             : ChangeOutcome::WrongKeyState;
        return result;
    }
    if (!keyPassword) TakeTyped(request.newPassword, text.newPasswordText);
    const WriteResult written = WriteNewPassword(request.field);
    result.outcome = written.outcome;
    result.after = written.after;
    result.firstKeyPassword = permission == Permission::FirstKeyPassword;
    return result;
}

}  // namespace

ChangeResult ChangeKeyField(const ChangeRequest& request) {
    const FoundKey key = FindKey(false);
    const ChangeResult result =
        key.answered ? Change(request, key.repair)
                     : ChangeResult{ChangeOutcome::NotFound, FieldAfter::Old, false, key.repair};
    WipeReportBuffers();
    return result;
}
