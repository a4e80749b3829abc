// init --each: provisioning keys one after another. Each key that arrives
// is looked at once per connection (repair_wait.h: again at the next look
// while it cannot be read); a factory-initial key whose serial number has
// not been set in this run takes the first key password (the one typed at
// the start, or one of its own from the random source), any other key is
// skipped. A key whose first key password was interrupted is put right when
// it comes back (the look at it does that), and is then set again. Each key
// has one final result, by its serial number, from which the summary and
// the exit code follow: a key that failed and was set later is set, one
// whose first key password was put back and not set again failed.
//
// The listing has one entry per key, as lines, as CSV, or as a JSON document
// written as it goes. An entry is written in two parts: the key (its serial
// number, or its device when it did not answer, and with --random its
// password) before the key is changed, so that no key ever takes a password
// that was not written out first; its outcome after. When the output fails,
// the run ends.
#include <string>
#include <vector>

#include "command_line.h"
#include "key_commands.h"
#include "key_fields.h"
#include "messages.h"
#include "output.h"
#include "passwords.h"
#include "platform.h"
#include "repair_wait.h"
#include "secret_wipe.h"

namespace {

// --- The listing

enum class KeyResult : std::uint8_t { Set, Skipped, Failed };

constexpr std::string_view kResultNames[] = {"set", "skipped", "failed"};

std::string_view NameOf(KeyResult result) {
    return kResultNames[static_cast<int>(result)];
}

struct ListingCounts {
    unsigned set = 0, skipped = 0, failed = 0;
};

struct Listing {
    PasswordListing format;
    bool entries = false;  // an entry was begun (JSON: the next is after a comma)
    bool written = true;   // every part so far was written
};

std::string Csv(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Serial(const KeyFacts& key) {
    return Answered(key) ? SerialText(key.identity.serial) : "";
}

// Who the entry is about, for a person.
std::string Who(const KeyFacts& key) {
    return Answered(key) ? Serial(key) : key.path;
}

std::string Said(KeyResult result, const std::string& detail) {
    if (result == KeyResult::Set) return Say(Message::EachSet);
    if (result == KeyResult::Skipped) return Say(Message::EachSkipped);
    return Say(Message::EachFailed, {detail});
}

void Write(Listing& listing, std::string_view text) {
    listing.written = WriteOut(text) && listing.written;
}

// The CSV header, or the JSON document's head.
void BeginListing(Listing& listing) {
    if (listing.format == PasswordListing::Csv)
        Write(listing, "serial,key_password,outcome,message\n");
    if (listing.format == PasswordListing::Json) Write(listing, "{\n  \"keys\": [");
}

// The first part of a key's entry; false when it could not be written (the
// key must then not be changed).
bool BeginEntry(Listing& listing, const KeyFacts& key, const TextField* password) {
    const std::string_view shown = password ? password->data() : "";
    const bool before = listing.written;
    listing.written = true;
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, Who(key) + "  ");
            if (password) {
                Write(listing, shown);
                Write(listing, "  ");
            }
            break;
        case PasswordListing::Csv:
            Write(listing, Serial(key) + ",");
            Write(listing, shown);
            Write(listing, ",");
            break;
        case PasswordListing::Json: {
            JsonDocument entry = JsonDocument::object();
            if (Answered(key)) {
                entry["serial"] = Serial(key);
            } else {
                entry["serial"] = nullptr;
            }
            entry["device"] = key.path;
            if (password) entry["keyPassword"] = password->data();
            Write(listing, listing.entries ? ",\n    " : "\n    ");
            listing.written = WriteJson(entry, JsonPart::Head, 2) && listing.written;
            break;
        }
    }
    listing.entries = true;
    const bool entry = listing.written;
    listing.written = before && entry;
    return entry;
}

// The rest of the entry: the outcome, and what to tell of it.
void EndEntry(Listing& listing, const KeyFacts& key, KeyResult result, const std::string& detail) {
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, Said(result, detail) + "\n");
            break;
        case PasswordListing::Csv:
            Write(listing, std::string(NameOf(result)) + "," + Csv(detail) + "\n");
            break;
        case PasswordListing::Json: {
            WriteErr(Who(key) + "  " + Said(result, detail) + "\n");
            JsonDocument rest = JsonDocument::object();
            rest["outcome"] = NameOf(result);
            rest["message"] = detail;
            Write(listing, ",");
            listing.written = WriteJson(rest, JsonPart::Tail, 2) && listing.written;
            break;
        }
    }
}

// The summary (the JSON document's end); false when anything of the listing
// could not be written.
bool EndListing(Listing& listing, ExitCode code, const ListingCounts& counts) {
    const std::string summary =
        Say(Message::EachSummary, {std::to_string(counts.set), std::to_string(counts.skipped),
                                   std::to_string(counts.failed)});
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, summary + "\n");
            break;
        case PasswordListing::Csv:
            WriteErr(summary + "\n");
            break;
        case PasswordListing::Json: {
            JsonDocument end = JsonDocument::object();
            end["summary"]["set"] = counts.set;
            end["summary"]["skipped"] = counts.skipped;
            end["summary"]["failed"] = counts.failed;
            end["outcome"] = EntryOf(code).name;
            end["exitCode"] = static_cast<int>(code);
            end["message"] = summary;
            Write(listing, listing.entries ? "\n  ]," : "],");
            listing.written = WriteJson(end, JsonPart::Tail) && listing.written;
            break;
        }
    }
    return listing.written;
}

// --- The run

// The final result of one key: by its serial number, or by its connection
// for a key that has not answered (yet).
struct KeyOutcome {
    SerialNumber serial{};
    std::string connection;  // empty: by serial number
    KeyResult result;
};

struct Run {
    const ProvisioningOptions& options;
    Listing listing;
    TextField shared{};           // the password typed at the start
    TextField pendingPassword{};  // --random: that of the key whose repair is pending
    std::vector<KeyOutcome> outcomes{};
    KeyWatch watch{};
    ExitCode stop = ExitCode::Success;  // Failure: the random source or the output failed
};

KeyOutcome* OutcomeOf(Run& run, const SerialNumber& serial, const std::string& connection) {
    for (KeyOutcome& outcome : run.outcomes)
        if (outcome.connection == connection && outcome.serial == serial) return &outcome;
    return nullptr;
}

// Gives the key its result, replacing the one it had.
void Settle(Run& run, const SerialNumber& serial, KeyResult result,
            const std::string& connection = {}) {
    if (KeyOutcome* outcome = OutcomeOf(run, serial, connection))
        outcome->result = result;
    else
        run.outcomes.push_back({serial, connection, result});
}

ListingCounts Counts(const Run& run) {
    ListingCounts counts;
    for (const KeyOutcome& outcome : run.outcomes) {
        if (outcome.result == KeyResult::Set) ++counts.set;
        if (outcome.result == KeyResult::Skipped) ++counts.skipped;
        if (outcome.result == KeyResult::Failed) ++counts.failed;
    }
    return counts;
}

// Whether the key has had its turn: set, or skipped as not factory-initial.
bool Done(Run& run, const SerialNumber& serial) {
    const KeyOutcome* outcome = OutcomeOf(run, serial, {});
    return outcome && outcome->result != KeyResult::Failed;
}

// A key's whole entry and result, for a key that is not changed now.
void Report(Run& run, const KeyFacts& key, KeyResult result, const std::string& detail,
            const TextField* password = nullptr) {
    Settle(run, key.identity.serial, result);
    if (BeginEntry(run.listing, key, password)) EndEntry(run.listing, key, result, detail);
}

// Sets the key's first key password, its entry begun.
void SetFirstKeyPassword(Run& run, const KeyFacts& key, TextField& password) {
    typedTexts.newPassword = password;
    typedTexts.confirmation = password;
    const auto [result, lost] =
        ChangeChosenKey(key, PasswordField::KeyPassword, FirstKeyPassword::Only);
    const std::string serial = SerialText(key.identity.serial);
    KeyResult outcome = KeyResult::Failed;
    std::string detail;
    switch (result.outcome) {
        case ChangeOutcome::Changed:
        case ChangeOutcome::ChangedKeySilentAfter:
            // Every cell echoed its byte: the key holds the password, and the
            // other keys need not wait for this one to answer again.
            ForgetKeyPasswordRepair();
            outcome = KeyResult::Set;
            break;
        case ChangeOutcome::WrongKeyState:
            outcome = KeyResult::Skipped;
            break;
        case ChangeOutcome::NotFound:
            detail = FailureMessage(lost);
            break;
        case ChangeOutcome::RepairPending:
            detail = Say(Message::EachRepairFirst, {SerialText(PendingRepairSerial())});
            break;
        case ChangeOutcome::Stopped:  // Ctrl-C while the key was read: left as it was
            detail = Say(Message::InterruptedNothingChanged);
            break;
        default:
            detail = Say(result.outcome == ChangeOutcome::Refused ? Message::ChangeRefused
                                                                  : Message::ChangeInterrupted,
                         {serial});
            if (result.after == FieldAfter::Mixed) {
                run.pendingPassword = password;
                detail += " " + Say(Message::FirstKeyPasswordMixed);
            }
            if (lost.failure == DiscoveryFailure::OtherKey) detail += " " + FailureMessage(lost);
    }
    Settle(run, key.identity.serial, outcome);
    EndEntry(run.listing, key, outcome, detail);
}

// What a look at a key settled of an interrupted first key password: false
// when the key is to be left as it is until it comes back.
bool TakeRepair(Run& run, const KeyFacts& key) {
    const std::string serial = SerialText(key.identity.serial);
    switch (key.repair) {
        case RepairOutcome::None:
            return !KeyPasswordRepairPending() || PendingRepairSerial() != key.identity.serial;
        case RepairOutcome::NewKeyPasswordHolds:
            Report(run, key, KeyResult::Set, RepairMessage(key.repair, serial),
                   run.options.random ? &run.pendingPassword : nullptr);
            WipeSecret(run.pendingPassword);
            return false;
        case RepairOutcome::NotRepaired:
            WriteErr(Say(Message::RepairNotDone, {serial}) + "\n");
            return false;
        default:  // put back: not set, until it is set again
            WriteErr(RepairMessage(key.repair, serial) + "\n");
            WipeSecret(run.pendingPassword);
            return true;
    }
}

// One look at a key that has arrived, or could not be read at the last look.
void LookAt(Run& run, const KeyConnection& connection) {
    ExpectAnyKey();
    KeyFacts key = ReadKeyFacts(connection.path);
    key.connection = connection.connection;
    if (!Answered(key)) {
        // Tried again at the next look; told of, and counted, once.
        if (!FirstFailure(run.watch, connection)) return;
        Settle(run, {}, KeyResult::Failed, connection.connection);
        if (BeginEntry(run.listing, key, nullptr))
            EndEntry(run.listing, key, KeyResult::Failed, FailureMessage(key));
        return;
    }
    MarkAnswered(run.watch, connection);
    std::erase_if(run.outcomes, [&connection](const KeyOutcome& outcome) {
        return outcome.connection == connection.connection;
    });
    if (!TakeRepair(run, key) || Done(run, key.identity.serial)) return;
    if (key.identity.status != KeyStatus::Initial) return Report(run, key, KeyResult::Skipped, {});
    if (KeyPasswordRepairPending()) {
        const std::string pending = SerialText(PendingRepairSerial());
        return Report(run, key, KeyResult::Failed, Say(Message::EachRepairFirst, {pending}));
    }
    if (InterruptRequested()) return;  // pressed while the key was looked at
    TextField password = run.shared;
    if (run.options.random && !DrawRandomPassword(password)) {
        WriteErr(Say(Message::RandomSourceFailed) + "\n");
        run.stop = ExitCode::Failure;
    } else if (!BeginEntry(run.listing, key, run.options.random ? &password : nullptr)) {
        run.stop = ExitCode::Failure;  // the output failed: the key is left as it is
    } else {
        SetFirstKeyPassword(run, key, password);
    }
    WipeSecret(password);
}

bool Finished(const Run& run) {
    return run.stop != ExitCode::Success || InterruptRequested() ||
           (run.options.count > 0 && Counts(run).set >= run.options.count);
}

// A key left half written is not given up on at Ctrl-C or at the count:
// the wait for it has a Ctrl-C of its own.
void AwaitLastRepair(Run& run) {
    KeyFacts key;
    key.identity.status = KeyStatus::Connected;
    key.identity.serial = PendingRepairSerial();
    const WaitedRepair repair = AwaitRepair(true);
    key.path = repair.path;
    const std::string serial = SerialText(key.identity.serial);
    if (repair.outcome == RepairOutcome::NewKeyPasswordHolds)
        Report(run, key, KeyResult::Set, RepairMessage(repair.outcome, serial),
               run.options.random ? &run.pendingPassword : nullptr);
    else
        WriteErr(RepairMessage(repair.outcome, serial) + "\n");
}

Asked AskSharedPassword(Run& run) {
    Asked asked = AskPassword(Message::PromptEachKeyPassword, run.shared);
    if (asked.code != ExitCode::Success) return asked;
    TextField again{};
    asked = AskPassword(Message::PromptEachKeyPasswordAgain, again);
    if (asked.code == ExitCode::Success && !SameText(run.shared, again))
        asked = {ExitCode::ConfirmationMismatch, Say(Message::ConfirmationMismatch)};
    WipeSecret(again);
    return asked;
}

}  // namespace

ExitCode ProvisionKeys(const ProvisioningOptions& options) {
    Run run{options, {options.listing}};
    if (!options.random) {
        const Asked asked = AskSharedPassword(run);
        if (asked.code != ExitCode::Success) {
            WipeSecret(run.shared);
            WriteErr(asked.message + "\n");
            return asked.code;
        }
    }
    BeginListing(run.listing);
    WriteErr(Say(Message::EachWaiting) + "\n");
    while (!Finished(run)) {
        for (const KeyConnection& key : KeysToLookAt(run.watch)) {
            LookAt(run, key);
            if (Finished(run)) break;
        }
        if (!Finished(run)) PauseUnlessInterrupted(kLookIntervalMs);
    }
    if (KeyPasswordRepairPending()) AwaitLastRepair(run);
    WipeSecret(run.shared);
    WipeSecret(run.pendingPassword);
    const ListingCounts counts = Counts(run);
    ExitCode code = run.stop;
    if (code == ExitCode::Success && counts.failed > 0) code = ExitCode::ChangeFailed;
    if (EndListing(run.listing, code, counts)) return code;
    WriteErr(Say(Message::OutputFailed) + "\n");
    return ExitCode::Failure;
}
