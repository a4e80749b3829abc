// Choosing the key by its serial number.
#include "key_choice.h"

#include "key_transport.h"
#include "messages.h"

KeyFacts ReadKeyFacts(const std::string& path) {
    KeyFacts facts;
    facts.path = path;
    ChooseKeyPath(path);
    facts.repair = ReadKeyStatus(facts.identity).repair;
    facts.failure = keyLink.discoveryFailure;
    CloseKey();
    return facts;
}

KeyFacts LostKey(const std::string& path) {
    KeyFacts facts;
    facts.path = path;
    facts.failure = keyLink.discoveryFailure;
    return facts;
}

std::vector<KeyFacts> ReadEveryKey() {
    std::vector<KeyFacts> keys;
    for (const std::string& path : ListKeyPaths()) keys.push_back(ReadKeyFacts(path));
    return keys;
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
            return Say(Message::KeyPermissionDenied, {key.path}) + " " + Say(Message::UdevRuleHint);
#else
            return Say(Message::KeyPermissionDenied, {key.path});
#endif
        case DiscoveryFailure::InUse:
            return Say(Message::KeyInUse, {key.path});
        case DiscoveryFailure::Unusable:
            return Say(Message::KeyUnusable, {key.path});
        default:
            return Say(Message::KeyDidNotAnswer, {key.path});
    }
}

namespace {

KeyChoice Chosen(const KeyFacts& key) {
    ChooseKeyPath(key.path);
    if (!Answered(key)) return {FailureCode(key), FailureMessage(key), key, {}};
    return {ExitCode::Success, {}, key, {}};
}

}  // namespace

KeyChoice ChooseKey(const std::optional<SerialNumber>& serial) {
    const std::vector<std::string> paths = ListKeyPaths();
    if (paths.empty()) return {ExitCode::NoKey, Say(Message::NoKeyAttached), {}, {}};
    if (paths.size() == 1 && !serial) return Chosen(ReadKeyFacts(paths.front()));

    std::vector<KeyFacts> keys;
    for (const std::string& path : paths) keys.push_back(ReadKeyFacts(path));
    if (!serial)
        return {ExitCode::SeveralKeys,
                Say(Message::SeveralKeys, {std::to_string(keys.size())}),
                {},
                keys};
    for (const KeyFacts& key : keys)
        if (Answered(key) && key.identity.serial == *serial) return Chosen(key);
    // A key that could not be read may be the one asked for: say why.
    const std::string none = Say(Message::NoKeyWithSerial, {SerialText(*serial)});
    for (const KeyFacts& key : keys)
        if (!Answered(key)) return {FailureCode(key), FailureMessage(key) + " " + none, {}, keys};
    return {ExitCode::NoKey, none, {}, keys};
}
