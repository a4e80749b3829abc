// An outcome as lines or as the JSON document.
#include "present_outcome.h"

#include "console.h"
#include "json_document.h"
#include "key_state_names.h"
#include "messages.h"
#include "text_conversion.h"
#include "wipe_bytes.h"

namespace {

// The outcome's words in the JSON document.
std::string_view RepairName(RepairOutcome repair) {
    switch (repair) {
        case RepairOutcome::NewKeyPasswordHolds:
            return "new-key-password-holds";
        case RepairOutcome::OldKeyPasswordBack:
            return "old-key-password-back";
        case RepairOutcome::FactoryInitialBack:
            return "factory-initial-back";
        case RepairOutcome::NotRepaired:
            return "not-repaired";
        default:
            return "none";
    }
}

std::string_view FieldAfterName(FieldAfter after) {
    switch (after) {
        case FieldAfter::New:
            return "new";
        case FieldAfter::Mixed:
            return "mixed";
        default:
            return "old";
    }
}

std::string Shown(const TextField& field) {
    DisplayText text;
    DisplayField(field, ControlCharacters::Replace, text);
    std::string shown = text.data();
    WipeBytes(text.data(), text.size());
    return shown;
}

std::string KeyLine(const KeyFacts& key) {
    std::string line = Answered(key) ? SerialText(key.identity.serial) : "--------";
    line += "  " + StateText(key);
    if (Answered(key) && key.identity.loginId[0] != 0)
        line += "  " + Say(Message::LabelLoginId) + ": " + Shown(key.identity.loginId);
    if (!key.path.empty()) line += "  " + Say(Message::LabelDevice) + ": " + key.path;
    return line + "\n";
}

std::string KeyFactLines(const KeyFacts& key) {
    auto line = [](Message label, const std::string& value) {
        return Say(label) + ":" + (value.empty() ? "" : " " + value) + "\n";
    };
    return line(Message::LabelSerial, SerialText(key.identity.serial)) +
           line(Message::LabelState, StateText(key)) +
           line(Message::LabelLoginId, Shown(key.identity.loginId)) +
           line(Message::LabelDevice, key.path);
}

// The login password line, written in pieces so that the password is never
// copied into a text that grows.
bool WriteLoginPassword(const TextField& password) {
    const std::string label = Say(Message::LoginPasswordIs);
    const std::size_t at = label.find("%s");
    DisplayText text;
    DisplayField(password, ControlCharacters::Replace, text);
    const bool written = WriteOut(std::string_view(label).substr(0, at)) && WriteOut(text.data()) &&
                         WriteOut(label.substr(at + 2) + "\n");
    WipeBytes(text.data(), text.size());
    return written;
}

bool WriteLines(const Outcome& outcome) {
    std::string facts;
    for (const KeyFacts& key : outcome.keys) facts += KeyLine(key);
    if (outcome.key && outcome.keyFactsShown) facts += KeyFactLines(*outcome.key);
    bool written = WriteOut(facts);
    if (outcome.loginPassword) written = WriteLoginPassword(*outcome.loginPassword) && written;
    std::string said;
    for (const std::string& message : outcome.messages)
        if (!message.empty()) said += message + "\n";
    const bool success = outcome.code == ExitCode::Success;
    return (success ? WriteOut(said) : WriteErr(said)) && written;
}

bool WriteJson(const Outcome& outcome) {
    JsonDocument document = JsonDocument::object();
    document["outcome"] = EntryOf(outcome.code).name;
    document["exitCode"] = static_cast<int>(outcome.code);
    std::string said;
    for (const std::string& message : outcome.messages)
        if (!message.empty()) said += (said.empty() ? "" : " ") + message;
    document["message"] = said;
    if (outcome.key) document["key"] = KeyFactsJson(*outcome.key);
    if (!outcome.keys.empty()) {
        document["keys"] = JsonDocument::array();
        for (const KeyFacts& key : outcome.keys) document["keys"].push_back(KeyFactsJson(key));
    }
    if (outcome.loginPassword) PutField(document, "loginPassword", *outcome.loginPassword);
    if (outcome.change) {
        JsonDocument& change = document["change"];
        change["field"] = outcome.change->field == PasswordField::LoginPassword ? "login-password"
                                                                                : "key-password";
        change["firstKeyPassword"] = outcome.change->firstKeyPassword;
        change["fieldAfter"] = FieldAfterName(outcome.change->after);
    }
    if (outcome.repair) document["repair"] = RepairName(*outcome.repair);
    return WriteJsonDocument(document);
}

}  // namespace

ExitCode Present(const Outcome& outcome, OutputFormat format) {
    const bool written = format == OutputFormat::Json ? WriteJson(outcome) : WriteLines(outcome);
    if (written) return outcome.code;
    WriteErr(Say(Message::OutputFailed) + "\n");
    return ExitCode::Failure;
}
