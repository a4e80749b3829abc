// The commands of keyadmin-cli, one procedure each. Each command for one key
// chooses it first (key_choice.h), looks at its state, asks the passwords it
// needs only then, and ends with an outcome to present. The caller wipes
// the password buffers once the outcome has been presented.
#pragma once

#include <cstdint>
#include <optional>

#include "outcome.h"
#include "present_outcome.h"
#include "serial_number.h"

using SerialChoice = std::optional<SerialNumber>;

Outcome ListKeys();
Outcome ShowStatus(const SerialChoice& serial);
Outcome ShowLoginPassword(const SerialChoice& serial);  // into passwordBuffers.loginPassword
Outcome SetLoginPassword(const SerialChoice& serial);
Outcome SetKeyPassword(const SerialChoice& serial);
Outcome SetFirstKeyPassword(const SerialChoice& serial);

// init --each.
enum class PasswordListing : std::uint8_t { Lines, Csv, Json };

struct ProvisioningOptions {
    unsigned count = 0;  // keys to set before the end; 0: until Ctrl-C
    bool random = false;
    PasswordListing listing = PasswordListing::Lines;
};

// Writes its own lines (or CSV, or the JSON document at the end); returns
// the exit code.
ExitCode ProvisionKeys(const ProvisioningOptions& options);
