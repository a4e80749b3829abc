// An outcome as lines or as the JSON document, and the names both give.
#include "output.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "key_cell_map.h"
#include "messages.h"
#include "platform.h"
#include "typed_text.h"

namespace {

// --- Names

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

struct StateNames {
    std::string_view name;  // in the JSON document
    Message text;           // in the lines
};

enum class State : std::uint8_t {
    Attached,
    Initial,
    NotAnswering,
    PermissionDenied,
    InUse,
    Unusable
};

constexpr std::array kStates{
    StateNames{"attached", Message::StateAttached},
    StateNames{"factory-initial", Message::StateInitial},
    StateNames{"not-answering", Message::StateNotAnswering},
    StateNames{"permission-denied", Message::StatePermissionDenied},
    StateNames{"in-use", Message::StateInUse},
    StateNames{"unusable", Message::StateUnusable},
};

const StateNames& StateOf(const KeyFacts& key) {
    State state = State::NotAnswering;
    if (key.identity.status == KeyStatus::Connected) state = State::Attached;
    if (key.identity.status == KeyStatus::Initial) state = State::Initial;
    if (key.identity.status == KeyStatus::NotFound) {
        if (key.failure == DiscoveryFailure::PermissionDenied) state = State::PermissionDenied;
        if (key.failure == DiscoveryFailure::InUse) state = State::InUse;
        if (key.failure == DiscoveryFailure::Unusable) state = State::Unusable;
    }
    return kStates[static_cast<std::size_t>(state)];
}

struct RepairNames {
    RepairOutcome repair;
    std::string_view name;  // in the JSON document
    Message text;           // for a person
};

constexpr std::array kRepairs{
    RepairNames{RepairOutcome::NewKeyPasswordHolds, "new-key-password-holds",
                Message::RepairNewHolds},
    RepairNames{RepairOutcome::OldKeyPasswordBack, "old-key-password-back", Message::RepairOldBack},
    RepairNames{RepairOutcome::FactoryInitialBack, "factory-initial-back",
                Message::RepairFactoryBack},
    RepairNames{RepairOutcome::NotRepaired, "not-repaired", Message::RepairGaveUp},
};

const RepairNames* NamesOf(RepairOutcome repair) {
    for (const RepairNames& names : kRepairs)
        if (names.repair == repair) return &names;
    return nullptr;  // None
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

// Two lower-case hex digits per byte, grown once, so that a secret's hex
// leaves no copy behind.
template <typename Text>
Text HexOf(const void* bytes, std::size_t count) {
    constexpr char kDigits[] = "0123456789abcdef";
    const auto* byte = static_cast<const std::uint8_t*>(bytes);
    Text hex;
    hex.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        hex += kDigits[byte[i] >> 4];
        hex += kDigits[byte[i] & 0x0F];
    }
    return hex;
}

bool IsControl(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    return byte < 0x20 || byte == 0x7F;
}

// --- Lines

std::string Shown(const TextField& field) {
    DisplayText text;
    DisplayField(field, ControlCharacters::Replace, text);
    std::string shown = text.data();
    WipeBytes(text.data(), text.size());
    return shown;
}

std::string KeyLine(const KeyFacts& key) {
    std::string line = Answered(key) ? SerialText(key.identity.serial) : "--------";
    line += "  " + Say(StateOf(key).text);
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
           line(Message::LabelState, Say(StateOf(key).text)) +
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

// --- JSON

// nlohmann's serializer escapes each text in a buffer of its own on the
// stack of dump(): once dump() has returned, the stack it used is
// overwritten. Called through a pointer, so that it is never inlined into
// its caller's frame and its own frame lies where dump()'s lay.
void WipeStackBelow() {
    std::array<unsigned char, 16384> frames;
    WipeBytes(frames.data(), frames.size());
}
void (*volatile wipeStackBelow)() = WipeStackBelow;

// A text field of the key as "<name>" (text, as it converts from code page
// 949) and "<name>Hex" (the raw bytes), so that any bytes the key holds are
// shown.
void PutField(JsonDocument& object, const char* name, const TextField& field) {
    DisplayText text;
    DisplayField(field, ControlCharacters::Keep, text);
    object[name] = text.data();
    WipeBytes(text.data(), text.size());
    WipedString hexName = name;
    hexName += "Hex";
    object[hexName] = HexOf<WipedString>(field.data(), strnlen(field.data(), kFieldCells));
}

JsonDocument KeyFactsJson(const KeyFacts& key) {
    JsonDocument facts = JsonDocument::object();
    facts["device"] = key.path;
    if (Answered(key)) {
        facts["serial"] = SerialText(key.identity.serial);
    } else {
        facts["serial"] = nullptr;
    }
    facts["state"] = StateOf(key).name;
    if (Answered(key) && key.loginIdRead) PutField(facts, "loginId", key.identity.loginId);
    return facts;
}

bool WriteOutcomeJson(const Outcome& outcome) {
    JsonDocument document = JsonDocument::object();
    document["outcome"] = EntryOf(outcome.code).name;
    document["exitCode"] = static_cast<int>(outcome.code);
    std::string said;
    for (const std::string& message : outcome.messages)
        if (!message.empty()) said += (said.empty() ? "" : " ") + message;
    document["message"] = said;
    if (outcome.key) document["key"] = KeyFactsJson(*outcome.key);
    if (outcome.listing || !outcome.keys.empty()) {
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
    if (outcome.repair) {
        const RepairNames* names = NamesOf(*outcome.repair);
        document["repair"] = names ? names->name : "none";
    }
    return WriteJson(document);
}

}  // namespace

std::string SerialText(const SerialNumber& serial) {
    return HexOf<std::string>(serial.data(), serial.size());
}

std::string RepairMessage(RepairOutcome repair, const std::string& serial) {
    const RepairNames* names = NamesOf(repair);
    return names ? Say(names->text, {serial}) : std::string();
}

void DisplayField(const TextField& field, ControlCharacters controls, DisplayText& text) {
    text.fill(0);
    const std::size_t length = strnlen(field.data(), kFieldCells);
    std::size_t out = 0;
    std::array<char, 4> utf8{};
    for (std::size_t at = 0; at < length;) {
        std::size_t taken = 1;
        std::size_t produced = 0;
        if (IsCp949LeadByte(field[at]) && at + 1 < length) {
            produced = DecodeCp949Character(&field[at], 2, utf8);
            if (produced) taken = 2;
        }
        if (!produced && !(controls == ControlCharacters::Replace && IsControl(field[at])))
            produced = DecodeCp949Character(&field[at], 1, utf8);
        if (!produced) {
            std::memcpy(utf8.data(), kReplacement, 3);
            produced = 3;
        }
        std::memcpy(&text[out], utf8.data(), produced);
        out += produced;
        at += taken;
    }
    WipeBytes(utf8.data(), utf8.size());
}

bool WriteJson(const JsonDocument& value, JsonPart part, unsigned depth) {
    bool written = false;
    {
        WipedString text = value.dump(2, ' ', false, JsonDocument::error_handler_t::replace);
        std::string_view rest(text);
        if (part == JsonPart::Head) rest.remove_suffix(2);  // "\n}"
        if (part == JsonPart::Tail) rest.remove_prefix(1);  // "{"
        WipedString indented;
        const std::size_t lines =
            static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n'));
        indented.reserve(rest.size() + lines * 2 * depth + 1);
        for (char c : rest) {
            indented += c;
            if (c == '\n') indented.append(2 * depth, ' ');
        }
        if (depth == 0 && part != JsonPart::Head) indented += '\n';
        written = WriteOut(indented);
        WipeBytes(text.data(), text.size());
        WipeBytes(indented.data(), indented.size());
    }
    wipeStackBelow();
    return written;
}

ExitCode Present(const Outcome& outcome, OutputFormat format) {
    const bool written =
        format == OutputFormat::Json ? WriteOutcomeJson(outcome) : WriteLines(outcome);
    if (written) return outcome.code;
    WriteErr(Say(Message::OutputFailed) + "\n");
    // What a change did to the key is its exit code, whatever became of its
    // report.
    const bool changed = outcome.change && outcome.change->after != FieldAfter::Old;
    return changed ? outcome.code : ExitCode::Failure;
}
