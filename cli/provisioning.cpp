// init --each: provisioning keys one after another. Each key that arrives
// is looked at once per plug-in; a factory-initial key whose serial number
// has not been set in this run takes the first key password (the one typed
// at the start, or one of its own from the random source), any other key is
// skipped. A key whose first key password was interrupted is put right when
// it comes back (the look at it does that), and is then set again. No key
// takes a password before its entry is written out (provisioning_listing.h);
// when the output fails, the run ends.
#include <string>
#include <vector>

#include "ask_password.h"
#include "change_chosen_key.h"
#include "commands.h"
#include "console.h"
#include "interrupt.h"
#include "key_arrivals.h"
#include "key_fields.h"
#include "messages.h"
#include "provisioning_listing.h"
#include "random_password.h"
#include "repair_wait.h"
#include "secret_wipe.h"
#include "typed_texts.h"

namespace {

struct Run {
    const ProvisioningOptions& options;
    Listing listing;
    TextField shared{};           // the password typed at the start
    TextField pendingPassword{};  // --random: that of the key whose repair is pending
    std::vector<SerialNumber> done{};
    ListingCounts counts{};
    ExitCode stop = ExitCode::Success;  // Failure: the random source or the output failed
};

void Count(Run& run, KeyResult result) {
    if (result == KeyResult::Set) ++run.counts.set;
    if (result == KeyResult::Skipped) ++run.counts.skipped;
    if (result == KeyResult::Failed) ++run.counts.failed;
}

// A key's whole entry, for a key that is not changed now.
void Report(Run& run, const KeyFacts& key, KeyResult result, const std::string& detail,
            const TextField* password = nullptr) {
    Count(run, result);
    if (BeginEntry(run.listing, key, password)) EndEntry(run.listing, key, result, detail);
}

bool Done(const Run& run, const SerialNumber& serial) {
    for (const SerialNumber& done : run.done)
        if (done == serial) return true;
    return false;
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
            run.done.push_back(key.identity.serial);
            outcome = KeyResult::Set;
            break;
        case ChangeOutcome::WrongKeyState:
            run.done.push_back(key.identity.serial);
            outcome = KeyResult::Skipped;
            break;
        case ChangeOutcome::NotFound:
            detail = FailureMessage(lost);
            break;
        case ChangeOutcome::RepairPending:
            detail = Say(Message::EachRepairFirst, {SerialText(PendingRepairSerial())});
            break;
        default:
            detail = Say(result.outcome == ChangeOutcome::Refused ? Message::ChangeRefused
                                                                  : Message::ChangeInterrupted,
                         {serial});
            if (result.after == FieldAfter::Mixed) {
                run.pendingPassword = password;
                detail += " " + Say(Message::FirstKeyPasswordMixed);
            }
    }
    Count(run, outcome);
    EndEntry(run.listing, key, outcome, detail);
}

// One look at a key that has just arrived.
void LookAt(Run& run, const std::string& path) {
    const KeyFacts key = ReadKeyFacts(path);
    if (!Answered(key)) return Report(run, key, KeyResult::Failed, FailureMessage(key));
    const std::string serial = SerialText(key.identity.serial);
    // The key of an interrupted change is back and put right: it is counted
    // by what it holds now.
    if (key.repair != RepairOutcome::None && key.repair != RepairOutcome::NotRepaired)
        --run.counts.failed;
    if (key.repair == RepairOutcome::NewKeyPasswordHolds) {
        run.done.push_back(key.identity.serial);
        Report(run, key, KeyResult::Set, RepairMessage(key.repair, serial),
               run.options.random ? &run.pendingPassword : nullptr);
        return WipeSecret(run.pendingPassword);
    }
    if (key.repair != RepairOutcome::None) WriteErr(RepairMessage(key.repair, serial) + "\n");
    if (Done(run, key.identity.serial)) return;
    if (key.identity.status != KeyStatus::Initial) {
        run.done.push_back(key.identity.serial);
        return Report(run, key, KeyResult::Skipped, {});
    }
    if (KeyPasswordRepairPending()) {
        const std::string pending = SerialText(PendingRepairSerial());
        return Report(run, key, KeyResult::Failed, Say(Message::EachRepairFirst, {pending}));
    }
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
           (run.options.count > 0 && run.counts.set >= run.options.count);
}

// A key left half written is not given up on at Ctrl-C or at the count:
// the wait for it has a Ctrl-C of its own.
void AwaitLastRepair(Run& run) {
    KeyFacts key;
    key.identity.status = KeyStatus::Connected;
    key.identity.serial = PendingRepairSerial();
    const std::string serial = SerialText(key.identity.serial);
    const RepairOutcome repair = AwaitRepair(true);
    if (repair != RepairOutcome::NotRepaired) --run.counts.failed;
    if (repair == RepairOutcome::NewKeyPasswordHolds)
        Report(run, key, KeyResult::Set, RepairMessage(repair, serial),
               run.options.random ? &run.pendingPassword : nullptr);
    else
        WriteErr(RepairMessage(repair, serial) + "\n");
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
    KeyArrivals arrivals;
    while (!Finished(run)) {
        for (const std::string& path : NewArrivals(arrivals)) {
            LookAt(run, path);
            if (Finished(run)) break;
        }
        if (!Finished(run)) PauseUnlessInterrupted(kLookIntervalMs);
    }
    if (KeyPasswordRepairPending()) AwaitLastRepair(run);
    WipeSecret(run.shared);
    WipeSecret(run.pendingPassword);
    ExitCode code = run.stop;
    if (code == ExitCode::Success && run.counts.failed > 0) code = ExitCode::ChangeFailed;
    if (EndListing(run.listing, code, run.counts)) return code;
    WriteErr(Say(Message::OutputFailed) + "\n");
    return ExitCode::Failure;
}
