// The password change: the login password or the key password, or the
// first key password of a factory-initial key.
#include "find_key.h"
#include "key_fields.h"
#include "key_link.h"
#include "key_password_repair.h"
#include "secret_wipe.h"
#include "typed_text.h"

namespace {

struct WriteResult {
    ChangeOutcome outcome;
    FieldAfter after;
};

// After a restore the key refused in part: whether it holds the old key
// password after all (what it made of a refused write is unknown until
// read). LinkLost when the key stopped answering.
WriteOutcome ReadBackOldKeyPassword() {
    TextField field{};
    const bool read = ReadField(kKeyPasswordBase, field);
    const bool old = read && SameCells(field, passwordBuffers.storedKeyPassword);
    WipeSecret(field);
    if (!read) return WriteOutcome::LinkLost;
    return old ? WriteOutcome::Written : WriteOutcome::Refused;
}

// A key password refused at a cell gets its old bytes back, the refused
// cell included. Whatever could not be put back is left to a repair.
WriteResult RestoreKeyPassword(const FieldWrite& write, const SerialNumber& serial) {
    const PasswordBuffers& text = passwordBuffers;
    const FieldWrite restore =
        RestoreCells(kKeyPasswordBase, text.storedKeyPassword, write.cellsSent);
    WriteOutcome outcome = restore.outcome;
    if (outcome == WriteOutcome::Refused) outcome = ReadBackOldKeyPassword();
    if (outcome == WriteOutcome::Written) return {ChangeOutcome::Refused, FieldAfter::Old};
    KeepKeyPasswordRepair(serial, text.storedKeyPassword, text.newPasswordText,
                          write.unknownCells | restore.unknownCells);
    return {outcome == WriteOutcome::Refused ? ChangeOutcome::Refused : ChangeOutcome::Interrupted,
            FieldAfter::Mixed};
}

// Writes the new password text to the field.
// - A cell that echoes another byte ends the writes there. The key answered,
//   so it is still there: a key password gets its old bytes back. The old
//   login password is never read by a change, so it cannot be put back.
// - A key that stopped answering during the writes is not asked again: a
//   silent key would cost a second read timeout, and a pulled one cannot be
//   mended from here. A key password is left to a repair at the next
//   contact, as is one whose writes all echoed on a key that did not answer
//   after.
WriteResult WriteNewPassword(PasswordField field, const SerialNumber& serial) {
    const PasswordBuffers& text = passwordBuffers;
    const bool keyPassword = field == PasswordField::KeyPassword;
    const std::uint8_t base = keyPassword ? kKeyPasswordBase : kLoginPasswordBase;
    const FieldWrite write = WriteField(base, text.newPasswordText);
    if (write.outcome == WriteOutcome::Refused) {
        if (keyPassword) return RestoreKeyPassword(write, serial);
        return {ChangeOutcome::Refused, FieldAfter::Mixed};
    }
    WriteResult result{ChangeOutcome::Interrupted, FieldAfter::Mixed};
    if (write.outcome == WriteOutcome::Written) {
        if (IsKeyPresent() == 0) return {ChangeOutcome::Changed, FieldAfter::New};
        result = {ChangeOutcome::ChangedKeySilentAfter, FieldAfter::New};
    }
    if (keyPassword)
        KeepKeyPasswordRepair(serial, text.storedKeyPassword, text.newPasswordText,
                              write.unknownCells);
    return result;
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

ChangeResult Change(const ChangeRequest& request, const FoundKey& key) {
    PasswordBuffers& text = passwordBuffers;
    ChangeResult result{ChangeOutcome::NotFound, FieldAfter::Old, false, key.repair};
    const bool keyPassword = request.field == PasswordField::KeyPassword;
    // One repair at a time: a key password is not written over while one is
    // pending, so that its old field stays the one to put back.
    if (keyPassword && KeyPasswordRepairPending()) {
        result.outcome = ChangeOutcome::RepairPending;
        return result;
    }
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
    if (request.mayWrite && !request.mayWrite()) {
        result.outcome = ChangeOutcome::Stopped;
        return result;
    }
    const WriteResult written =
        WriteNewPassword(request.field, key.serialRead ? key.serial : keyIdentity.serial);
    result.outcome = written.outcome;
    result.after = written.after;
    result.firstKeyPassword = permission == Permission::FirstKeyPassword;
    return result;
}

}  // namespace

ChangeResult ChangeKeyField(const ChangeRequest& request) {
    const FoundKey key = FindKey(false);
    const ChangeResult result =
        key.answered ? Change(request, key)
                     : ChangeResult{ChangeOutcome::NotFound, FieldAfter::Old, false, key.repair};
    WipeReportBuffers();
    return result;
}
