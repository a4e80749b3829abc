// The core's side of the page: what the page's JavaScript calls (ccall).
// The keys the user granted are looked at one by one; the chosen key is the
// one the user picked by its serial number (or the only one), and every
// operation acts on that key and no other: the key link expects its serial
// number (ExpectKeySerial) and reads it before anything else is read or
// written. The operations themselves are the window's (key_admin.h),
// presented through the page's window operations (page_window_ops.cpp).
//
// Calls that reach a key wait on WebHID (Asyncify): the page calls them with
// {async: true}, one at a time.
#include <emscripten.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "admin_texts.h"
#include "key_admin.h"
#include "key_link.h"
#include "key_transport.h"
#include "page_texts.h"
#include "page_window_ops.h"

namespace {

struct ListedKey {
    std::string path;
    KeyIdentity identity;
    DiscoveryFailure failure;
};

std::vector<ListedKey> keys;
std::optional<SerialNumber> chosenSerial;
bool onLinux = false;
std::string textOut;  // the last text handed to the page

const char* Out(std::string text) {
    textOut = std::move(text);
    return textOut.c_str();
}

bool Answered(const ListedKey& key) {
    return key.identity.status != KeyStatus::NotFound;
}

bool ListedBefore(const ListedKey& a, const ListedKey& b) {
    return Answered(a) != Answered(b) ? Answered(a) : a.identity.serial < b.identity.serial;
}

ListedKey* ChosenKey() {
    if (!chosenSerial) return nullptr;
    for (ListedKey& key : keys)
        if (Answered(key) && key.identity.serial == *chosenSerial) return &key;
    return nullptr;
}

const char* StatusMessage(KeyStatus status) {
    if (status == KeyStatus::Connected) return kKeyAttachedStatus;
    if (status == KeyStatus::Initial) return kFactoryInitialStatus;
    return kKeyNotFoundStatus;
}

// The status line and the commands for the chosen key, as the window's
// refresh leaves them; with none chosen, why.
void PresentChosenKey() {
    const ListedKey* chosen = ChosenKey();
    if (chosen) {
        keyIdentity = chosen->identity;
        SetStatusText(StatusMessage(keyIdentity.status));
    } else {
        keyIdentity.status = KeyStatus::NotFound;
        int answered = 0;
        const ListedKey* refused = nullptr;
        for (const ListedKey& key : keys) {
            answered += Answered(key);
            if (key.failure != DiscoveryFailure::None && key.failure != DiscoveryFailure::NoKey)
                refused = &key;
        }
        if (chosenSerial && answered > 0)
            ShowPageStatus(ChosenKeyGoneText(SerialLine(*chosenSerial)));
        else if (answered > 1)
            ShowPageStatus(PageText("severalKeys"));
        else if (refused)
            ShowPageStatus(FailureText(refused->failure, refused->path, onLinux));
        else
            SetStatusText(kKeyNotFoundStatus);
    }
    UpdateMenuForStatus(nullptr, keyIdentity.status);
}

ListedKey LookAt(const std::string& path) {
    ListedKey key{path, {}, DiscoveryFailure::None};
    ExpectAnyKey();
    ChooseKeyPath(path);
    const StatusResult result = ReadKeyStatus(key.identity);
    key.failure = keyLink.discoveryFailure;
    CloseKey();
    ShowRepairOutcome(nullptr, result.repair);
    return key;
}

// Runs one of the window's operations on the chosen key alone.
template <typename Operation>
void OnChosenKey(Operation operation) {
    ListedKey* chosen = ChosenKey();
    const SerialNumber expected = chosen ? chosen->identity.serial : SerialNumber{};
    if (chosen) keyIdentity = chosen->identity;
    ChooseKeyPath(chosen ? chosen->path : "webhid:none");
    ExpectKeySerial(expected);
    operation();
    if (keyLink.discoveryFailure == DiscoveryFailure::OtherKey)
        ShowPageNotice(PageText("title"),
                       OtherKeyText(SerialLine(expected), SerialLine(keyLink.keySerial)), true);
    CloseKey();
    ExpectAnyKey();
    ChooseKeyPath("");
    WipeTypedTexts();
    if (chosen) chosen->identity.status = keyIdentity.status;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void PageUseLanguage(int korean) {
    UsePageLanguage(korean ? PageLanguage::Korean : PageLanguage::English);
}

EMSCRIPTEN_KEEPALIVE void PageOnLinux(int linux) {
    onLinux = linux != 0;
}

EMSCRIPTEN_KEEPALIVE const char* PageTextNamed(const char* name) {
    return Out(PageText(name));
}

// Looks at every granted key again, settling a repair pending for one of
// them, and presents the chosen one.
EMSCRIPTEN_KEEPALIVE void PageLookAtKeys() {
    std::vector<ListedKey> looked;
    for (const std::string& path : ListKeyPaths()) looked.push_back(LookAt(path));
    ExpectAnyKey();
    ChooseKeyPath("");
    // In the order of their serial numbers, those that did not answer last:
    // the browser gives its keys in no order of its own. (An insertion sort:
    // a handful of keys, and the standard sorts weigh kilobytes.)
    for (std::size_t i = 1; i < looked.size(); ++i)
        for (std::size_t j = i; j > 0 && ListedBefore(looked[j], looked[j - 1]); --j)
            std::swap(looked[j], looked[j - 1]);
    keys = std::move(looked);
    // The only key is taken up as the window takes it, until the user has
    // a key chosen: the choice then stays, whatever comes in its place.
    if (!chosenSerial) {
        const ListedKey* only = nullptr;
        int answered = 0;
        for (const ListedKey& key : keys)
            if (Answered(key) && ++answered == 1) only = &key;
        if (answered == 1) chosenSerial = only->identity.serial;
    }
    PresentChosenKey();
}

EMSCRIPTEN_KEEPALIVE int PageKeyCount() {
    return static_cast<int>(keys.size());
}

EMSCRIPTEN_KEEPALIVE const char* PageKeySerial(int i) {
    const ListedKey& key = keys.at(i);
    return Out(Answered(key) ? SerialLine(key.identity.serial) : "");
}

EMSCRIPTEN_KEEPALIVE const char* PageKeyState(int i) {
    return Out(StateText(keys.at(i).identity.status, keys.at(i).failure));
}

EMSCRIPTEN_KEEPALIVE const char* PageKeyLoginId(int i) {
    return keys.at(i).identity.loginId.data();
}

EMSCRIPTEN_KEEPALIVE int PageKeyChosen(int i) {
    return ChosenKey() == &keys.at(i);
}

// The user picks the listed key `i`.
EMSCRIPTEN_KEEPALIVE void PageChooseKey(int i) {
    if (Answered(keys.at(i))) chosenSerial = keys.at(i).identity.serial;
    PresentChosenKey();
}

// The information the window paints: the chosen key's serial number and
// login ID, placeholders without one.
EMSCRIPTEN_KEEPALIVE int PageKeyStatus() {
    return static_cast<int>(keyIdentity.status);
}

EMSCRIPTEN_KEEPALIVE const char* PageSerialLine() {
    return Out(keyIdentity.status == KeyStatus::NotFound ? "xx xx xx xx"
                                                         : SerialLine(keyIdentity.serial));
}

EMSCRIPTEN_KEEPALIVE const char* PageLoginId() {
    return keyIdentity.status == KeyStatus::NotFound ? "" : keyIdentity.loginId.data();
}

// Where the page puts a field's text (PasswordEdit: 0 current, 1 new login
// password, 2 new key password, 3 confirmation) before an operation.
EMSCRIPTEN_KEEPALIVE char* PageTypedText(int edit) {
    return TypedTextOf(static_cast<PasswordEdit>(edit)).data();
}

EMSCRIPTEN_KEEPALIVE void PageShowLoginPassword() {
    OnChosenKey([] { ShowLoginPassword(nullptr); });
}

// `newPasswordEdit`: 1 the login password's form, 2 the key password's.
EMSCRIPTEN_KEEPALIVE void PageChangePassword(int newPasswordEdit) {
    ShowNewPasswordEdit(static_cast<PasswordEdit>(newPasswordEdit));
    OnChosenKey([] { ChangePassword(nullptr); });
}

}  // extern "C"
