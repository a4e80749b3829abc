// set-login-password, set-key-password and init. The passwords are asked
// once the key's state allows the change; the key administration confirms
// every byte written by the key's echo, and says what the field holds when a
// change did not go through. A key password left half written waits here
// for its repair.
#include "ask_password.h"
#include "change_chosen_key.h"
#include "commands.h"
#include "messages.h"
#include "repair_wait.h"
#include "typed_texts.h"

namespace {

struct ChangeKind {
    PasswordField field;
    FirstKeyPassword firstKeyPassword;
    Message changed;
};

constexpr ChangeKind kLoginPassword{PasswordField::LoginPassword, FirstKeyPassword::Refused,
                                    Message::LoginPasswordChanged};
constexpr ChangeKind kKeyPassword{PasswordField::KeyPassword, FirstKeyPassword::Refused,
                                  Message::KeyPasswordChanged};
constexpr ChangeKind kFirstKeyPassword{PasswordField::KeyPassword, FirstKeyPassword::Only,
                                       Message::FirstKeyPasswordSet};

bool IsFirst(const ChangeKind& kind) {
    return kind.firstKeyPassword == FirstKeyPassword::Only;
}

// The current key password (a factory-initial key has none), then the new
// password; a new key password twice.
Asked AskTexts(const ChangeKind& kind) {
    const bool keyPassword = kind.field == PasswordField::KeyPassword;
    Asked asked{ExitCode::Success, {}};
    if (!IsFirst(kind))
        asked = AskPassword(Message::PromptCurrentKeyPassword, typedTexts.currentKeyPassword);
    if (asked.code == ExitCode::Success)
        asked = AskPassword(
            keyPassword ? Message::PromptNewKeyPassword : Message::PromptNewLoginPassword,
            typedTexts.newPassword);
    if (asked.code == ExitCode::Success && keyPassword)
        asked = AskPassword(Message::PromptNewKeyPasswordAgain, typedTexts.confirmation);
    return asked;
}

bool RepairPendingFor(const SerialNumber& serial) {
    return KeyPasswordRepairPending() && PendingRepairSerial() == serial;
}

// What the field holds after a change that did not go through. A key
// password left mixed is told of by the wait for its repair, when the key
// administration keeps one.
std::string AfterMessage(const ChangeKind& kind, FieldAfter after, const SerialNumber& serial) {
    if (after == FieldAfter::Old) return Say(Message::KeyHoldsOld);
    if (after == FieldAfter::New) return Say(Message::KeyHoldsNew);
    if (kind.field == PasswordField::LoginPassword) return Say(Message::LoginPasswordMixed);
    return RepairPendingFor(serial) ? "" : Say(Message::KeyPasswordMixedForGood);
}

void Describe(const ChangeKind& kind, const ChangeResult& result, const KeyFacts& lost,
              const SerialNumber& serialNumber, Outcome& outcome) {
    const std::string serial = SerialText(serialNumber);
    switch (result.outcome) {
        case ChangeOutcome::Changed:
            outcome.messages.push_back(Say(kind.changed, {serial}));
            break;
        case ChangeOutcome::ChangedKeySilentAfter:
            outcome.messages.push_back(Say(kind.changed, {serial}));
            outcome.messages.push_back(Say(Message::SilentAfterChange));
            break;
        case ChangeOutcome::NotFound:
            FailLost(outcome, lost);
            break;
        case ChangeOutcome::ConfirmationMismatch:
            Fail(outcome, ExitCode::ConfirmationMismatch, Say(Message::ConfirmationMismatch));
            break;
        case ChangeOutcome::WrongKeyPassword:
            Fail(outcome, ExitCode::WrongKeyPassword, Say(Message::WrongKeyPassword));
            break;
        case ChangeOutcome::WrongKeyState:
            Fail(outcome, ExitCode::WrongKeyState,
                 Say(IsFirst(kind) ? Message::KeyNotInitial : Message::KeyNeedsInit, {serial}));
            break;
        case ChangeOutcome::RepairPending:
            Fail(outcome, ExitCode::ChangeFailed,
                 Say(Message::RepairPendingFirst, {SerialText(PendingRepairSerial())}));
            break;
        case ChangeOutcome::Refused:
        case ChangeOutcome::Interrupted:
            Fail(outcome, ExitCode::ChangeFailed,
                 Say(result.outcome == ChangeOutcome::Refused ? Message::ChangeRefused
                                                              : Message::ChangeInterrupted,
                     {serial}));
            outcome.messages.push_back(AfterMessage(kind, result.after, serialNumber));
            break;
    }
}

// Waits for the repair of a key password left mixed, and says how it ended.
void SettleRepair(const ChangeKind& kind, const std::string& serial, Outcome& outcome) {
    const RepairOutcome repair = AwaitRepair(IsFirst(kind));
    outcome.repair = repair;
    outcome.messages.push_back(RepairMessage(repair, serial));
    if (repair == RepairOutcome::NewKeyPasswordHolds) {
        outcome.code = ExitCode::Success;
        outcome.change->after = FieldAfter::New;
    } else if (repair != RepairOutcome::NotRepaired) {
        outcome.change->after = FieldAfter::Old;
    }
}

Outcome ChangeField(const ChangeKind& kind, const SerialChoice& serial) {
    const KeyChoice choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    const std::string serialText = SerialText(choice.key.identity.serial);
    const bool initial = choice.key.identity.status == KeyStatus::Initial;
    if (initial != IsFirst(kind)) {
        Fail(outcome, ExitCode::WrongKeyState,
             Say(initial ? Message::KeyNeedsInit : Message::KeyNotInitial, {serialText}));
        return outcome;
    }
    const Asked asked = AskTexts(kind);
    if (asked.code != ExitCode::Success) {
        WipeTypedTexts();
        Fail(outcome, asked.code, asked.message);
        return outcome;
    }
    const auto [result, lost] = ChangeChosenKey(choice.key, kind.field, kind.firstKeyPassword);
    outcome.change = ChangeMade{kind.field, result.firstKeyPassword, result.after};
    Describe(kind, result, lost, choice.key.identity.serial, outcome);
    if (result.outcome == ChangeOutcome::Changed ||
        result.outcome == ChangeOutcome::ChangedKeySilentAfter)
        outcome.key->identity.status = KeyStatus::Connected;
    if (result.after == FieldAfter::Mixed && RepairPendingFor(choice.key.identity.serial))
        SettleRepair(kind, serialText, outcome);
    return outcome;
}

}  // namespace

Outcome SetLoginPassword(const SerialChoice& serial) {
    return ChangeField(kLoginPassword, serial);
}

Outcome SetKeyPassword(const SerialChoice& serial) {
    return ChangeField(kKeyPassword, serial);
}

Outcome SetFirstKeyPassword(const SerialChoice& serial) {
    return ChangeField(kFirstKeyPassword, serial);
}
