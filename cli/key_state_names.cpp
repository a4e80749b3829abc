// The names of the key states, one table for both outputs.
#include "key_state_names.h"

#include <array>

#include "messages.h"

namespace {

struct StateNames {
    std::string_view name;
    Message text;
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

State StateOf(const KeyFacts& key) {
    if (key.identity.status == KeyStatus::Connected) return State::Attached;
    if (key.identity.status == KeyStatus::Initial) return State::Initial;
    switch (key.failure) {
        case DiscoveryFailure::PermissionDenied:
            return State::PermissionDenied;
        case DiscoveryFailure::InUse:
            return State::InUse;
        case DiscoveryFailure::Unusable:
            return State::Unusable;
        default:
            return State::NotAnswering;
    }
}

}  // namespace

std::string_view StateName(const KeyFacts& key) {
    return kStates[static_cast<std::size_t>(StateOf(key))].name;
}

std::string StateText(const KeyFacts& key) {
    return Say(kStates[static_cast<std::size_t>(StateOf(key))].text);
}
