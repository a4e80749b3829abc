// init --each: provisioning keys one after another. Each key that arrives
// is looked at once per plug-in; a factory-initial key whose serial number
// has not been set in this run takes the first key password (the one typed
// at the start, or one of its own from the random source), any other key is
// skipped. A key whose first key password was interrupted is put right when
// it comes back (the look at it does that), and is then set again.
#include <string>
#include <vector>

#include "ask_password.h"
#include "commands.h"
#include "console.h"
#include "interrupt.h"
#include "json_document.h"
#include "key_arrivals.h"
#include "key_fields.h"
#include "key_transport.h"
#include "messages.h"
#include "password_buffers.h"
#include "random_password.h"
#include "repair_wait.h"
#include "secret_wipe.h"
#include "typed_texts.h"

namespace {

enum class KeyResult : std::uint8_t { Set, Skipped, Failed };

constexpr std::string_view kResultNames[] = {"set", "skipped", "failed"};

struct Run {
    const ProvisioningOptions& options;
    TextField shared{};           // the password typed at the start
    TextField pendingPassword{};  // --random: that of the key whose repair is pending
    std::vector<SerialNumber> done;
    unsigned counts[3] = {};
    JsonDocument listed = JsonDocument::array();  // --json: every key, written at the end
    bool output = true;                           // every line was written
};

std::string Csv(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// One key's line (or CSV row, or JSON entry): its serial number (the
// device, for a key that did not answer), its own password, its result.
void Report(Run& run, const KeyFacts& key, KeyResult result, const std::string& detail,
            const TextField* password) {
    ++run.counts[static_cast<int>(result)];
    const std::string_view name = kResultNames[static_cast<int>(result)];
    const std::string serial = Answered(key) ? SerialText(key.identity.serial) : "";
    const std::string said = result == KeyResult::Set       ? Say(Message::EachSet)
                             : result == KeyResult::Skipped ? Say(Message::EachSkipped)
                                                            : Say(Message::EachFailed, {detail});
    const std::string_view shown = password ? password->data() : "";  // printable ASCII
    switch (run.options.listing) {
        case PasswordListing::Lines:
            run.output = WriteOut((Answered(key) ? serial : key.path) + "  ") && WriteOut(shown) &&
                         WriteOut((password ? "  " : "") + said + "\n") && run.output;
            break;
        case PasswordListing::Csv:
            run.output = WriteOut(serial + ",") && WriteOut(shown) &&
                         WriteOut("," + std::string(name) + "," + Csv(detail) + "\n") && run.output;
            break;
        case PasswordListing::Json: {
            WriteErr((Answered(key) ? serial : key.path) + "  " + said + "\n");
            JsonDocument entry = JsonDocument::object();
            entry["serial"] = Answered(key) ? JsonDocument(serial) : JsonDocument(nullptr);
            entry["device"] = key.path;
            entry["outcome"] = name;
            if (password) entry["keyPassword"] = password->data();
            entry["message"] = detail;
            run.listed.push_back(std::move(entry));
            break;
        }
    }
}

// The password the key is to take; false when the random source failed.
bool PasswordFor(Run& run, TextField& password) {
    if (run.options.random) return DrawRandomPassword(password);
    password = run.shared;
    return true;
}

bool Done(const Run& run, const SerialNumber& serial) {
    for (const SerialNumber& done : run.done)
        if (done == serial) return true;
    return false;
}

void SetFirstKeyPassword(Run& run, const KeyFacts& key, const std::string& serial,
                         TextField& password) {
    typedTexts.newPassword = password;
    typedTexts.confirmation = password;
    keyIdentity = key.identity;  // the key an interrupted change keeps its repair for
    const ChangeResult result =
        ChangeKeyField({PasswordField::KeyPassword, FirstKeyPassword::Only, TakeTypedNewPassword,
                        TakeTypedConfirmation, TakeTypedCurrentKeyPassword});
    const KeyFacts lost = LostKey(key.path);
    CloseKey();
    WipeTypedTexts();
    WipePasswordBuffers();
    const TextField* shown = run.options.random ? &password : nullptr;
    switch (result.outcome) {
        case ChangeOutcome::Changed:
        case ChangeOutcome::ChangedKeySilentAfter:
            // Every cell echoed its byte: the key holds the password, and the
            // other keys need not wait for this one to answer again.
            ForgetKeyPasswordRepair();
            run.done.push_back(key.identity.serial);
            Report(run, key, KeyResult::Set, {}, shown);
            break;
        case ChangeOutcome::WrongKeyState:
            run.done.push_back(key.identity.serial);
            Report(run, key, KeyResult::Skipped, {}, nullptr);
            break;
        case ChangeOutcome::NotFound:
            Report(run, key, KeyResult::Failed, FailureMessage(lost), nullptr);
            break;
        case ChangeOutcome::RepairPending:
            Report(run, key, KeyResult::Failed,
                   Say(Message::EachRepairFirst, {SerialText(PendingRepairSerial())}), nullptr);
            break;
        default: {
            std::string detail =
                Say(result.outcome == ChangeOutcome::Refused ? Message::ChangeRefused
                                                             : Message::ChangeInterrupted,
                    {serial});
            if (result.after == FieldAfter::Mixed) {
                run.pendingPassword = password;
                detail += " " + Say(Message::FirstKeyPasswordMixed);
            }
            Report(run, key, KeyResult::Failed, detail, nullptr);
        }
    }
}

// One look at a key that has just arrived.
bool LookAt(Run& run, const std::string& path) {
    const KeyFacts key = ReadKeyFacts(path);
    if (!Answered(key)) {
        Report(run, key, KeyResult::Failed, FailureMessage(key), nullptr);
        return true;
    }
    const std::string serial = SerialText(key.identity.serial);
    // The key of an interrupted change is back and put right: it is counted
    // by what it holds now.
    const bool settled =
        key.repair != RepairOutcome::None && key.repair != RepairOutcome::NotRepaired;
    if (settled) --run.counts[static_cast<int>(KeyResult::Failed)];
    if (key.repair == RepairOutcome::NewKeyPasswordHolds) {
        run.done.push_back(key.identity.serial);
        Report(run, key, KeyResult::Set, RepairMessage(key.repair, serial),
               run.options.random ? &run.pendingPassword : nullptr);
        WipeSecret(run.pendingPassword);
        return true;
    }
    if (key.repair != RepairOutcome::None) WriteErr(RepairMessage(key.repair, serial) + "\n");
    if (Done(run, key.identity.serial)) return true;
    if (key.identity.status != KeyStatus::Initial) {
        run.done.push_back(key.identity.serial);
        Report(run, key, KeyResult::Skipped, {}, nullptr);
        return true;
    }
    if (KeyPasswordRepairPending()) {
        const std::string pending = SerialText(PendingRepairSerial());
        Report(run, key, KeyResult::Failed, Say(Message::EachRepairFirst, {pending}), nullptr);
        return true;
    }
    TextField password{};
    const bool drawn = PasswordFor(run, password);
    if (drawn) SetFirstKeyPassword(run, key, serial, password);
    WipeSecret(password);
    return drawn;
}

// A key left half written is not given up on at Ctrl-C or at the count:
// the wait for it has a Ctrl-C of its own.
void AwaitLastRepair(Run& run) {
    KeyFacts key;
    key.identity.status = KeyStatus::Connected;
    key.identity.serial = PendingRepairSerial();
    const std::string serial = SerialText(key.identity.serial);
    const RepairOutcome repair = AwaitRepair(true);
    if (repair != RepairOutcome::NotRepaired) --run.counts[static_cast<int>(KeyResult::Failed)];
    if (repair == RepairOutcome::NewKeyPasswordHolds)
        Report(run, key, KeyResult::Set, RepairMessage(repair, serial),
               run.options.random ? &run.pendingPassword : nullptr);
    else
        WriteErr(RepairMessage(repair, serial) + "\n");
}

bool Finished(const Run& run) {
    const unsigned set = run.counts[static_cast<int>(KeyResult::Set)];
    return InterruptRequested() || (run.options.count > 0 && set >= run.options.count);
}

ExitCode Summarize(Run& run, ExitCode code) {
    const unsigned set = run.counts[0], skipped = run.counts[1], failed = run.counts[2];
    if (code == ExitCode::Success && failed > 0) code = ExitCode::ChangeFailed;
    const std::string summary =
        Say(Message::EachSummary,
            {std::to_string(set), std::to_string(skipped), std::to_string(failed)});
    bool written = run.output;
    if (run.options.listing == PasswordListing::Json) {
        JsonDocument document = JsonDocument::object();
        document["outcome"] = EntryOf(code).name;
        document["exitCode"] = static_cast<int>(code);
        document["message"] = summary;
        document["keys"] = std::move(run.listed);
        document["summary"] = {{"set", set}, {"skipped", skipped}, {"failed", failed}};
        written = WriteJsonDocument(document) && written;
    } else if (run.options.listing == PasswordListing::Csv) {
        WriteErr(summary + "\n");
    } else {
        written = WriteOut(summary + "\n") && written;
    }
    return written ? code : ExitCode::Failure;
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
    Run run{options, {}, {}, {}, {}, JsonDocument::array(), true};
    if (!options.random) {
        const Asked asked = AskSharedPassword(run);
        if (asked.code != ExitCode::Success) {
            WipeSecret(run.shared);
            WriteErr(asked.message + "\n");
            return asked.code;
        }
    }
    if (options.listing == PasswordListing::Csv)
        run.output = WriteOut("serial,key_password,outcome,message\n");
    WriteErr(Say(Message::EachWaiting) + "\n");
    ExitCode code = ExitCode::Success;
    KeyArrivals arrivals;
    while (code == ExitCode::Success && !Finished(run)) {
        for (const std::string& path : NewArrivals(arrivals)) {
            if (!LookAt(run, path)) {
                WriteErr(Say(Message::RandomSourceFailed) + "\n");
                code = ExitCode::Failure;
                break;
            }
            if (Finished(run)) break;
        }
        if (code == ExitCode::Success && !Finished(run)) PauseUnlessInterrupted(kLookIntervalMs);
    }
    if (KeyPasswordRepairPending()) AwaitLastRepair(run);
    WipeSecret(run.shared);
    WipeSecret(run.pendingPassword);
    return Summarize(run, code);
}
