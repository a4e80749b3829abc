// The commands for one key (list and status, show-login-password,
// set-login-password, set-key-password and init), and the looks at keys
// they and init --each share. The passwords are asked once the key's state
// allows the command; the key administration confirms every byte written by
// the key's echo, and says what the field holds when a change did not go
// through. A key password left half written waits here for its repair.
#include "key_commands.h"

#include "command_line.h"
#include "key_cell_map.h"
#include "key_transport.h"
#include "messages.h"
#include "output.h"
#include "password_buffers.h"
#include "passwords.h"
#include "platform.h"
#include "repair_wait.h"

namespace {

// --- Looking at keys

// The facts of the key at `path` after an operation found it gone, mute or
// another: why, as the last discovery says.
KeyFacts LostKey(const std::string& path) {
    KeyFacts facts;
    facts.path = path;
    facts.failure = keyLink.discoveryFailure;
    facts.identity.serial = keyLink.expectedSerial;
    facts.otherKey = keyLink.keySerial;
    return facts;
}

std::vector<KeyFacts> ReadEveryKey() {
    std::vector<KeyFacts> keys;
    for (const std::string& path : ListKeyPaths()) keys.push_back(ReadKeyFacts(path));
    return keys;
}

// A look at the key at `key.path` by its serial number alone; the key stays
// open. Its state is not known yet.
KeyFacts LookBySerial(const KeyConnection& key) {
    KeyFacts facts;
    facts.path = key.path;
    facts.connection = key.connection;
    ChooseKeyPath(key.path);
    if (FindKeySerial(facts.identity.serial)) facts.identity.status = KeyStatus::Connected;
    facts.failure = keyLink.discoveryFailure;
    return facts;
}

// Why a change was cut off: when another connection holds the key's path
// now, the serial number of what is there, and another key named (nothing
// else is read from it); otherwise that the key stopped answering.
KeyFacts WhatIsThereNow(const KeyFacts& key) {
    const KeyFacts gone = LostKey(key.path);
    for (const KeyConnection& now : ListKeyConnections()) {
        if (now.path != key.path || now.connection == key.connection) continue;
        SerialNumber serial{};
        ChooseKeyPath(key.path);
        const bool same = FindKeySerial(serial);
        const KeyFacts there = LostKey(key.path);
        CloseKey();
        return !same && there.failure == DiscoveryFailure::OtherKey ? there : gone;
    }
    return gone;
}

// Whether the chosen key is factory-initial, from the first cell of its key
// password (one exchange, wiped from the report buffers at once). False,
// with `key` saying why, when it did not answer or was not the key chosen.
bool ReadChosenKeyState(KeyFacts& key) {
    char mark = static_cast<char>(ReadCell(kKeyPasswordBase));
    const bool read = !LastExchangeFailed();
    if (read)
        key.identity.status =
            mark == kFactoryInitialMark ? KeyStatus::Initial : KeyStatus::Connected;
    WipeBytes(&mark, 1);
    WipeReportBuffers();
    if (!read) key = LostKey(key.path);
    return read;
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
        case ChangeOutcome::Stopped:  // Ctrl-C while the key was read, before any write
            Fail(outcome, ExitCode::Interrupted, Say(Message::InterruptedNothingChanged));
            break;
        case ChangeOutcome::Refused:
        case ChangeOutcome::Interrupted:
            Fail(outcome, ExitCode::ChangeFailed,
                 Say(result.outcome == ChangeOutcome::Refused ? Message::ChangeRefused
                                                              : Message::ChangeInterrupted,
                     {serial}));
            outcome.messages.push_back(AfterMessage(kind, result.after, serialNumber));
            // Another key found in the chosen one's place ends it as no key.
            if (lost.failure == DiscoveryFailure::OtherKey) FailLost(outcome, lost);
            break;
    }
}

// Waits for the repair of a key password left mixed, and says how it ended;
// the key's facts are then those of the key repaired, at its path now.
void SettleRepair(const ChangeKind& kind, const std::string& serial, Outcome& outcome) {
    const WaitedRepair repair = AwaitRepair(IsFirst(kind));
    outcome.repair = repair.outcome;
    outcome.messages.push_back(RepairMessage(repair.outcome, serial));
    if (repair.outcome == RepairOutcome::NotRepaired) return;
    outcome.key->path = repair.path;
    outcome.change->after =
        repair.outcome == RepairOutcome::NewKeyPasswordHolds ? FieldAfter::New : FieldAfter::Old;
    outcome.key->identity.status = repair.outcome == RepairOutcome::FactoryInitialBack
                                       ? KeyStatus::Initial
                                       : KeyStatus::Connected;
    if (repair.outcome == RepairOutcome::NewKeyPasswordHolds) outcome.code = ExitCode::Success;
}

// The chosen key, its state read, for a command that needs it to be
// factory-initial (`initial`) or not; otherwise the outcome, the key closed.
Outcome ChooseKeyInState(const SerialChoice& serial, bool initial, KeyChoice& choice) {
    choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    if (!ReadChosenKeyState(choice.key)) {
        FailLost(outcome, choice.key);
    } else if ((choice.key.identity.status == KeyStatus::Initial) != initial) {
        outcome.key = choice.key;
        Fail(outcome, ExitCode::WrongKeyState,
             Say(initial ? Message::KeyNotInitial : Message::KeyNeedsInit,
                 {SerialText(choice.key.identity.serial)}));
    } else {
        outcome.key = choice.key;
        return outcome;
    }
    CloseKey();
    return outcome;
}

Outcome ChangeField(const ChangeKind& kind, const SerialChoice& serial) {
    KeyChoice choice;
    Outcome outcome = ChooseKeyInState(serial, IsFirst(kind), choice);
    if (outcome.code != ExitCode::Success) return outcome;
    const Asked asked = AskTexts(kind);
    if (asked.code != ExitCode::Success) {
        CloseKey();
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
        SettleRepair(kind, SerialText(choice.key.identity.serial), outcome);
    return outcome;
}

}  // namespace

KeyFacts ReadKeyFacts(const std::string& path) {
    ChooseKeyPath(path);
    return ReadChosenKeyFacts(path);
}

KeyFacts ReadChosenKeyFacts(const std::string& path) {
    KeyFacts facts;
    const StatusResult status = ReadKeyStatus(facts.identity);
    if (status.status == KeyStatus::NotFound) facts = LostKey(path);
    facts.loginIdRead = status.status != KeyStatus::NotFound;
    facts.repair = status.repair;
    facts.failure = keyLink.discoveryFailure;
    facts.path = path;
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
        case DiscoveryFailure::OtherKey:
            return Say(Message::OtherKeyThere,
                       {SerialText(key.identity.serial), key.path, SerialText(key.otherKey)});
        default:
            return Say(Message::KeyDidNotAnswer, {key.path});
    }
}

KeyChoice ChooseKey(const std::optional<SerialNumber>& serial) {
    ExpectAnyKey();
    const std::vector<KeyConnection> attached = ListKeyConnections();
    if (attached.empty()) return {ExitCode::NoKey, Say(Message::NoKeyAttached), {}, {}};
    if (attached.size() > 1 && !serial) {
        const std::vector<KeyFacts> keys = ReadEveryKey();
        return {ExitCode::SeveralKeys,
                Say(Message::SeveralKeys, {std::to_string(keys.size())}),
                {},
                keys};
    }
    for (const KeyConnection& connection : attached) {
        const KeyFacts key = LookBySerial(connection);
        if (Answered(key) && (!serial || key.identity.serial == *serial)) {
            ExpectKeySerial(key.identity.serial);
            return {ExitCode::Success, {}, key, {}};
        }
        CloseKey();
        if (!serial) return {FailureCode(key), FailureMessage(key), key, {}};
    }
    // None has it: the keys that are there, and a key that could not be read
    // may be the one asked for: say why.
    const std::vector<KeyFacts> keys = ReadEveryKey();
    const std::string none = Say(Message::NoKeyWithSerial, {SerialText(*serial)});
    for (const KeyFacts& key : keys)
        if (!Answered(key)) return {FailureCode(key), FailureMessage(key) + " " + none, {}, keys};
    return {ExitCode::NoKey, none, {}, keys};
}

ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword) {
    ExpectKeySerial(key.identity.serial);
    const ChangeResult result =
        ChangeKeyField({field, firstKeyPassword, TakeTypedNewPassword, TakeTypedConfirmation,
                        TakeTypedCurrentKeyPassword, [] { return !InterruptRequested(); }});
    const ChosenKeyChange change{result, result.outcome == ChangeOutcome::Interrupted
                                             ? WhatIsThereNow(key)
                                             : LostKey(key.path)};
    CloseKey();
    WipeTypedTexts();
    WipePasswordBuffers();
    return change;
}

Outcome ListKeys(const SerialChoice&) {
    Outcome outcome;
    ExpectAnyKey();
    outcome.keys = ReadEveryKey();
    outcome.listing = true;
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
    const KeyFacts key = ReadChosenKeyFacts(choice.key.path);
    if (!Answered(key)) {
        FailLost(outcome, key);
        return outcome;
    }
    outcome.key = key;
    outcome.keyFactsShown = true;
    return outcome;
}

// The key password is checked against the key's, and the login password
// read from the key only then.
Outcome ShowLoginPassword(const SerialChoice& serial) {
    KeyChoice choice;
    Outcome outcome = ChooseKeyInState(serial, false, choice);
    if (outcome.code != ExitCode::Success) return outcome;
    const Asked asked = AskPassword(Message::PromptKeyPassword, typedTexts.currentKeyPassword);
    if (asked.code != ExitCode::Success) {
        CloseKey();
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
