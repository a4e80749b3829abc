// The commands of keyadmin-cli, in the order --help and the manual list
// them, with what each says of itself.
#pragma once

#include <array>

#include "messages.h"

struct CommandEntry {
    const char* name;
    Message summary;
    bool takesSerial;  // acts on one key: --serial chooses it
};

inline constexpr std::array kCommandTable{
    CommandEntry{"list", Message::ListSummary, false},
    CommandEntry{"status", Message::StatusSummary, true},
    CommandEntry{"show-login-password", Message::ShowSummary, true},
    CommandEntry{"set-login-password", Message::SetLoginSummary, true},
    CommandEntry{"set-key-password", Message::SetKeySummary, true},
    CommandEntry{"init", Message::InitSummary, true},
};
