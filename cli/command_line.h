// The command line: its commands, one procedure each, in a table that says
// what each is called, what --help and the manual say of it, whether it acts
// on one key, and what it runs. RunCommandLine parses the arguments
// (CLI11), runs the command and presents its outcome; the language, the
// console and Ctrl-C are set up by the caller (main.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "exit_codes.h"
#include "key_identity.h"
#include "messages.h"
#include "output.h"

using SerialChoice = std::optional<SerialNumber>;

// Each command for one key chooses it first (key_commands.h), looks at its
// state, asks the passwords it needs only then, and ends with an outcome to
// present. The caller wipes the password buffers once it has been presented.
Outcome ListKeys(const SerialChoice& none);  // list takes no --serial
Outcome ShowStatus(const SerialChoice& serial);
Outcome ShowLoginPassword(const SerialChoice& serial);  // into passwordBuffers.loginPassword
Outcome SetLoginPassword(const SerialChoice& serial);
Outcome SetKeyPassword(const SerialChoice& serial);
Outcome SetFirstKeyPassword(const SerialChoice& serial);

struct CommandEntry {
    const char* name;
    Message summary;
    bool takesSerial;  // acts on one key: --serial chooses it
    Outcome (*run)(const SerialChoice& serial);
};

// In the order --help and the manual list them.
inline constexpr std::array kCommandTable{
    CommandEntry{"list", Message::ListSummary, false, ListKeys},
    CommandEntry{"status", Message::StatusSummary, true, ShowStatus},
    CommandEntry{"show-login-password", Message::ShowSummary, true, ShowLoginPassword},
    CommandEntry{"set-login-password", Message::SetLoginSummary, true, SetLoginPassword},
    CommandEntry{"set-key-password", Message::SetKeySummary, true, SetKeyPassword},
    CommandEntry{"init", Message::InitSummary, true, SetFirstKeyPassword},
};

// init --each (provisioning.cpp).
enum class PasswordListing : std::uint8_t { Lines, Csv, Json };

struct ProvisioningOptions {
    unsigned count = 0;  // keys to set before the end; 0: until Ctrl-C
    bool random = false;
    PasswordListing listing = PasswordListing::Lines;
};

// Writes its own lines (or CSV, or the JSON document as it goes); returns
// the exit code.
ExitCode ProvisionKeys(const ProvisioningOptions& options);

// The exit code of the command the arguments name.
int RunCommandLine(int argc, const char* const* argv);
