// The commands for one key (list and status, show-login-password,
// set-login-password, set-key-password and init), and the looks at keys
// they and init --each share. The passwords are asked once the key's state
// allows the command; the key administration confirms every byte written by
// the key's echo, and says what the field holds when a change did not go
// through. A key password left half written waits here for its repair.
#include "key_commands.h"

#include "command_line.h"
#include "key_transport.h"
#include "messages.h"
#include "output.h"
#include "password_buffers.h"
#include "passwords.h"
#include "repair_wait.h"

namespace {

// --- Looking at keys

// The facts of the chosen key after an operation found it gone or mute:
// why, as the last discovery says.
KeyFacts LostKey(const std::string& path) {
    KeyFacts facts;
    facts.path = path;
    facts.failure = keyLink.discoveryFailure;
    return facts;
}

KeyChoice Chosen(const KeyFacts& key) {
    ChooseKeyPath(key.path);
    if (!Answered(key)) return {FailureCode(key), FailureMessage(key), key, {}};
    return {ExitCode::Success, {}, key, {}};
}

// Ends the outcome with the failure of a key that did not answer.
void FailLost(Outcome& outcome, const KeyFacts& key) {
    Fail(outcome, FailureCode(key), FailureMessage(key));
}

// The outcome of a command whose key could not be chosen.
Outcome NotChosen(const KeyChoice& choice) {
    Outcome outcome;
    outcome.code = choice.code;
    outcome.messages.push_back(choice.message);
    outcome.keys = choice.keys;
    return outcome;
}

// --- Changes

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

KeyFacts ReadKeyFacts(const std::string& path) {
    KeyFacts facts;
    facts.path = path;
    ChooseKeyPath(path);
    facts.repair = ReadKeyStatus(facts.identity).repair;
    facts.failure = keyLink.discoveryFailure;
    CloseKey();
    return facts;
}

ExitCode FailureCode(const KeyFacts& key) {
    switch (key.failure) {
        case DiscoveryFailure::PermissionDenied:
            return ExitCode::PermissionDenied;
        case DiscoveryFailure::InUse:
            return ExitCode::KeyInUse;
        default:
            return ExitCode::NoKey;
    }
}

std::string FailureMessage(const KeyFacts& key) {
    switch (key.failure) {
        case DiscoveryFailure::PermissionDenied:
#if defined(__linux__)
            return Say(Message::KeyPermissionDenied, {key.path}) + " " +
                   Say(Message::UdevRuleHint) + " " + Say(Message::PlugdevHint);
#else
            return Say(Message::KeyPermissionDenied, {key.path});
#endif
        case DiscoveryFailure::InUse:
            return Say(Message::KeyInUse, {key.path});
        case DiscoveryFailure::Unusable:
            return Say(Message::KeyUnusable, {key.path});
        default:
            return Say(Message::KeyDidNotAnswer, {key.path});
    }
}

KeyChoice ChooseKey(const std::optional<SerialNumber>& serial) {
    const std::vector<std::string> paths = ListKeyPaths();
    if (paths.empty()) return {ExitCode::NoKey, Say(Message::NoKeyAttached), {}, {}};
    if (paths.size() == 1 && !serial) return Chosen(ReadKeyFacts(paths.front()));

    std::vector<KeyFacts> keys;
    for (const std::string& path : paths) keys.push_back(ReadKeyFacts(path));
    if (!serial)
        return {ExitCode::SeveralKeys,
                Say(Message::SeveralKeys, {std::to_string(keys.size())}),
                {},
                keys};
    for (const KeyFacts& key : keys)
        if (Answered(key) && key.identity.serial == *serial) return Chosen(key);
    // A key that could not be read may be the one asked for: say why.
    const std::string none = Say(Message::NoKeyWithSerial, {SerialText(*serial)});
    for (const KeyFacts& key : keys)
        if (!Answered(key)) return {FailureCode(key), FailureMessage(key) + " " + none, {}, keys};
    return {ExitCode::NoKey, none, {}, keys};
}

ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword) {
    // A change that is interrupted keeps its repair for the key the last
    // status read put into keyIdentity: this one.
    keyIdentity = key.identity;
    const ChangeResult result =
        ChangeKeyField({field, firstKeyPassword, TakeTypedNewPassword, TakeTypedConfirmation,
                        TakeTypedCurrentKeyPassword});
    const ChosenKeyChange change{result, LostKey(key.path)};
    CloseKey();
    WipeTypedTexts();
    WipePasswordBuffers();
    return change;
}

Outcome ListKeys(const SerialChoice&) {
    Outcome outcome;
    for (const std::string& path : ListKeyPaths()) outcome.keys.push_back(ReadKeyFacts(path));
    if (outcome.keys.empty()) Fail(outcome, ExitCode::NoKey, Say(Message::NoKeyAttached));
    // Every key is listed, and each that could not be read said why; the
    // first of them gives the exit code.
    for (const KeyFacts& key : outcome.keys) {
        if (Answered(key)) continue;
        const ExitCode code = outcome.code == ExitCode::Success ? FailureCode(key) : outcome.code;
        Fail(outcome, code, FailureMessage(key));
    }
    return outcome;
}

Outcome ShowStatus(const SerialChoice& serial) {
    const KeyChoice choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    outcome.keyFactsShown = true;
    return outcome;
}

// The key password is checked against the key's, and the login password
// read from the key only then.
Outcome ShowLoginPassword(const SerialChoice& serial) {
    const KeyChoice choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    const std::string serialText = SerialText(choice.key.identity.serial);
    if (choice.key.identity.status == KeyStatus::Initial) {
        Fail(outcome, ExitCode::WrongKeyState, Say(Message::KeyNeedsInit, {serialText}));
        return outcome;
    }
    const Asked asked = AskPassword(Message::PromptKeyPassword, typedTexts.currentKeyPassword);
    if (asked.code != ExitCode::Success) {
        Fail(outcome, asked.code, asked.message);
        return outcome;
    }
    const UnlockResult result = UnlockLoginPassword(TakeTypedCurrentKeyPassword);
    const KeyFacts lost = LostKey(choice.key.path);
    CloseKey();
    WipeTypedTexts();
    switch (result.outcome) {
        case UnlockOutcome::Unlocked:
            outcome.loginPassword = &passwordBuffers.loginPassword;
            break;
        case UnlockOutcome::WrongKeyPassword:
            Fail(outcome, ExitCode::WrongKeyPassword, Say(Message::WrongKeyPassword));
            break;
        case UnlockOutcome::NotFound:
            FailLost(outcome, lost);
            break;
    }
    return outcome;
}

Outcome SetLoginPassword(const SerialChoice& serial) {
    return ChangeField(kLoginPassword, serial);
}

Outcome SetKeyPassword(const SerialChoice& serial) {
    return ChangeField(kKeyPassword, serial);
}

Outcome SetFirstKeyPassword(const SerialChoice& serial) {
    return ChangeField(kFirstKeyPassword, serial);
}
