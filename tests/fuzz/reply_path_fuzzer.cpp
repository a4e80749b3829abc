// A fuzz target for the reply path: the status refresh, the login-password
// display and the password change against a key whose every reply, and
// whether it replies at all, comes from the fuzzer's bytes. After each
// operation it checks what the program did against what the key really
// delivered (fuzz_key_transport records it):
// - nothing shown or written that came from an exchange without a reply,
//   and no exchange after one;
// - "changed" only when every write echoed its byte and the key answered
//   afterwards; a key password refused on the way is put back byte by byte,
//   and one not known to be back is left to a repair;
// - a key-password repair left by the change is settled by the refresh
//   after only on its own key, and told only as the key answered;
// - the password buffers and the report buffers are zero afterwards.
// AddressSanitizer and UndefinedBehaviorSanitizer watch the rest.
//
// Input: byte 0 picks the key and the form, byte 1 the operation (or all
// three in turn, and a refresh after them while a repair is pending); the
// rest drive the key.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "admin_texts.h"
#include "fake_admin_window.h"
#include "fuzz_key_transport.h"
#include "key_admin.h"
#include "key_link.h"
#include "key_password_repair.h"

namespace {

using fuzzkey::Exchange;

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "reply path fuzzer: %s\n", what);
    std::abort();
}

const char* const kTexts[] = {"pw", "", "login", "abcdefghijk"};

struct Form {
    bool keyForm;
    std::string current, newText, confirm;
};

Form FormOf(std::uint8_t byte) {
    const std::string current = kTexts[(byte >> 1) & 3];
    const std::string newText = kTexts[(byte >> 3) & 3];
    const bool keyForm = byte & 0x40;
    const std::string confirm = byte & 0x20 ? "other" : newText;
    return {keyForm, current, newText, confirm};
}

fuzzkey::KeyMemory KeyOf(std::uint8_t byte) {
    fuzzkey::KeyMemory key;
    key.serial = {0x0A, 0x0B, 0x0C, 0x0D};
    const auto put = [&key](int base, const std::string& text) {
        std::copy(text.begin(), text.end(), key.cells.begin() + base);
    };
    put(16, "id");
    put(28, "login");
    if (byte & 1)
        key.cells[40] = 0x0D;  // factory-initial
    else
        put(40, "pw");
    return key;
}

bool AllZero(const std::uint8_t* data, std::size_t size) {
    return std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; });
}

void CheckWiped() {
    const auto* buffers = reinterpret_cast<const std::uint8_t*>(&passwordBuffers);
    Require(AllZero(buffers, sizeof passwordBuffers), "a password buffer is not wiped");
    Require(AllZero(keyLink.inputReport.data(), keyLink.inputReport.size()),
            "the input report is not wiped");
    Require(AllZero(keyLink.outputReport.data(), keyLink.outputReport.size()),
            "the output report is not wiped");
}

// The operation stops at the first exchange that got no reply.
void CheckStopsAtTheFirstSilence(const std::vector<Exchange>& log) {
    for (std::size_t i = 0; i + 1 < log.size(); ++i)
        Require(log[i].answered, "an exchange followed one that got no reply");
}

bool IsRead(const Exchange& e, int address) {
    return e.frame.kind == vkey::FrameKind::ReadCell && e.frame.address == address;
}
bool IsSerial(const Exchange& e, int n) {
    return e.frame.kind == vkey::FrameKind::ReadSerial && e.frame.serialIndex == n;
}

// The 12 answers of exchanges [first, first + 12) reading the field at base,
// as a zero-terminated text; false when any is not such a read, answered.
bool FieldRead(const std::vector<Exchange>& log, std::size_t first, int base, TextField& text) {
    text.fill(0);
    if (log.size() < first + 12) return false;
    for (int i = 0; i < 12; ++i) {
        const Exchange& e = log[first + i];
        if (!IsRead(e, base + i) || !e.answered) return false;
        text[i] = static_cast<char>(e.answer);
    }
    return true;
}

std::string Text(const TextField& field) {
    return field.data();
}

void CheckRefresh(const KeyIdentity& before, const std::vector<Exchange>& log) {
    const fakewin::FakeWindow& window = fakewin::Window();
    Require(window.statusTexts.size() == 1, "a refresh sets the status once");
    if (keyIdentity.status == KeyStatus::NotFound) {
        Require(window.statusTexts[0] == kKeyNotFoundStatus, "not found, but another status");
        Require(keyIdentity.serial == before.serial && keyIdentity.loginId == before.loginId,
                "an identity from a refresh that failed");
        return;
    }
    Require(log.size() == 18, "a refresh that succeeded is 18 exchanges");
    for (const Exchange& e : log) Require(e.answered, "an identity from an unanswered exchange");
    Require(IsSerial(log[0], 1), "the presence test first");
    for (int n = 1; n <= 4; ++n) {
        Require(IsSerial(log[n], n), "serial bytes 1 to 4");
        Require(keyIdentity.serial[n - 1] == log[n].answer, "a serial byte not read");
    }
    TextField loginId;
    Require(FieldRead(log, 5, 16, loginId), "the login ID's 12 cells");
    Require(loginId == keyIdentity.loginId, "a login ID not read");
    Require(IsRead(log[17], 40), "cell 40 last");
    const bool initial = log[17].answer == 0x0D;
    Require(keyIdentity.status == (initial ? KeyStatus::Initial : KeyStatus::Connected),
            "the status does not follow cell 40");
    Require(window.statusTexts[0] == (initial ? kFactoryInitialStatus : kKeyAttachedStatus),
            "the status text does not follow cell 40");
}

void CheckDisplay(const Form& form, const std::vector<Exchange>& log) {
    const fakewin::FakeWindow& window = fakewin::Window();
    Require(window.boxes.size() == 1, "a display shows one box");
    const fakewin::MessageBoxCall& box = window.boxes[0];
    if (box.text == kKeyNotFoundMessage) return;
    TextField stored;
    Require(
        log.size() >= 13 && IsSerial(log[0], 1) && log[0].answered && FieldRead(log, 1, 40, stored),
        "an unlock check without the key password read");
    const bool unlocks = Text(stored) == form.current;
    if (box.text == kWrongKeyPasswordMessage) {
        Require(!unlocks && log.size() == 13, "wrong password, but it matched");
        return;
    }
    TextField loginPassword;
    Require(unlocks && log.size() == 25 && FieldRead(log, 13, 28, loginPassword),
            "a login password shown without being read");
    char expected[256];
    std::snprintf(expected, sizeof expected, kLoginPasswordFormat, loginPassword.data());
    Require(box.text == expected && box.icon == MessageIcon::Information,
            "a login password shown that the key did not send");
}

// The writes of a change: the new text up to the first refused or
// unanswered cell, then (a key password) the old bytes back over the cells
// written, the refused one included.
void CheckChange(const Form& form, int result, const std::vector<Exchange>& log) {
    const fakewin::FakeWindow& window = fakewin::Window();
    Require(window.boxes.size() == 1, "a change shows one box");
    const fakewin::MessageBoxCall& box = window.boxes[0];
    if (form.keyForm && form.newText != form.confirm) {
        Require(result == 0 || box.text == kKeyNotFoundMessage, "a mismatch, not refused");
        Require(log.size() <= 1, "a mismatch reads no cell");
        return;
    }
    std::size_t writes = 0;
    for (const Exchange& e : log) writes += e.frame.kind == vkey::FrameKind::WriteCell;
    const bool changed = box.icon == MessageIcon::Information;
    if (writes == 0) {
        Require(!changed, "changed without a write");
        return;
    }
    TextField stored;
    Require(log.size() >= 13 && log[0].answered && FieldRead(log, 1, 40, stored),
            "a write before the key password was read whole");
    Require(Text(stored) == form.current || (form.keyForm && stored[0] == 0x0D),
            "a write without the key password matching");
    const int base = form.keyForm ? 40 : 28;
    TextField newText{};
    std::copy(form.newText.begin(), form.newText.end(), newText.begin());
    std::size_t i = 13;
    bool refused = false;
    for (int cell = 0; cell < 12 && i < log.size(); ++cell, ++i) {
        const Exchange& e = log[i];
        Require(e.frame.kind == vkey::FrameKind::WriteCell && e.frame.address == base + cell,
                "the writes go up the field");
        Require(e.frame.value == static_cast<std::uint8_t>(newText[cell]),
                "a byte written that is not the new text's");
        if (!e.answered) break;
        if (e.answer != e.frame.value) {
            refused = true;
            ++i;
            break;
        }
    }
    const std::size_t forward = i - 13;
    if (changed) {
        Require(!refused && forward == 12 && log.size() == 26 && IsSerial(log[25], 1) &&
                    log[25].answered,
                "changed, but not every echo matched or the key did not answer");
        Require(!KeyPasswordRepairPending(), "a repair after a change that took");
        return;
    }
    // Every echo matched, but the key did not answer after: the new password
    // is on the key, and the box must not say the change failed.
    const bool newOnKey = !refused && forward == 12;
    Require(newOnKey == (box.text == kLoginPasswordChangedKeySilentMessage ||
                         box.text == kKeyPasswordChangedKeySilentMessage),
            "a change whose writes all echoed told as failed, or the other way round");
    if (!form.keyForm) {
        Require(!refused || log.size() == i, "a login password is not put back");
        Require(newOnKey || box.text == kLoginPasswordChangeFailedMessage,
                "a login password half written without being told to set it again");
        return;
    }
    if (!refused) {
        Require(KeyPasswordRepairPending(), "a key password left half written without a repair");
        return;
    }
    std::size_t restored = 0;
    bool restoreEchoed = true;
    for (; i < log.size() && restored < forward; ++restored, ++i) {
        const Exchange& e = log[i];
        Require(e.frame.kind == vkey::FrameKind::WriteCell &&
                    e.frame.address == base + static_cast<int>(restored) &&
                    e.frame.value == static_cast<std::uint8_t>(stored[restored]),
                "the old key password is not what goes back");
        restoreEchoed = restoreEchoed && e.answered && e.answer == e.frame.value;
    }
    Require(restored == forward || !log.back().answered,
            "the old key password is put back only in part");
    // A restore that the key refused in part is read back: the old key
    // password holds only if every echo matched or the field read back is it.
    TextField readBack;
    const bool readBackWhole = FieldRead(log, i, 40, readBack);
    if (restoreEchoed)
        Require(log.size() == i, "a restore that echoed whole is read back");
    else if (log.back().answered)
        Require(readBackWhole && log.size() == i + 12,
                "a restore refused in part is not read back");
    const bool oldBack = restoreEchoed || (readBackWhole && readBack == stored);
    Require(oldBack != KeyPasswordRepairPending(), "a repair kept that is not needed, or missing");
    Require(oldBack == (box.text == kChangeFailedMessage),
            "the box does not say whether the old key password holds");
}

// The refresh after the three operations, while a change left a key-password
// repair: it settles the repair only on a key whose serial number it read as
// the repair's, writes nothing but the old field, and tells which key
// password holds only from what the key answered.
void CheckRepair(const KeyPasswordRepair& kept, const std::vector<Exchange>& log) {
    const std::vector<fakewin::MessageBoxCall>& boxes = fakewin::Window().boxes;
    Require(boxes.size() <= 1, "a refresh shows one repair box at most");
    const std::string box = boxes.empty() ? "" : boxes[0].text;
    bool thisKey = kept.pending && log.size() >= 5;
    for (int n = 1; thisKey && n <= 4; ++n)
        thisKey = IsSerial(log[n], n) && log[n].answered && log[n].answer == kept.serial[n - 1];
    if (!thisKey) {
        Require(box.empty(), "a repair told for a key that is not the repair's");
        Require(KeyPasswordRepairPending() == kept.pending, "a repair settled on another key");
        return;
    }
    TextField field;
    const bool read = FieldRead(log, 5, 40, field);
    std::size_t writes = 0;
    bool echoed = true;
    for (std::size_t i = 17; i < log.size() && log[i].frame.kind == vkey::FrameKind::WriteCell;
         ++i, ++writes) {
        Require(writes < 12 && log[i].frame.address == 40 + static_cast<int>(writes) &&
                    log[i].frame.value == static_cast<std::uint8_t>(kept.oldField[writes]),
                "a repair writes something else than the old field");
        echoed = echoed && log[i].answered && log[i].answer == log[i].frame.value;
    }
    const bool oldBack = read && (field == kept.oldField ? writes == 0 : writes == 12 && echoed);
    const bool factory = kept.oldField[0] == kFactoryInitialMark;
    if (box == kRepairNewKeyPasswordHoldsMessage)
        Require(read && field == kept.newField && writes == 0, "new holds, but not read so");
    else if (box == kRepairOldKeyPasswordBackMessage || box == kRepairFactoryInitialBackMessage)
        Require(oldBack && factory == (box == kRepairFactoryInitialBackMessage),
                "the old key password told back, but not every write of it echoed");
    else if (box == kKeyPasswordNotRepairedMessage)
        Require(!read || (writes > 0 && !oldBack), "not repaired, but nothing went wrong");
    else
        Require(
            box.empty() && read && writes == 0 && field != kept.newField && field != kept.oldField,
            "a repair settled without a word, or another box");
    Require(KeyPasswordRepairPending() == (box.empty() || box == kKeyPasswordNotRepairedMessage),
            "a repair pending that was told settled, or the other way round");
}

void Reset() {
    ResetKeyLinkState();
    keyIdentity = KeyIdentity{};
    WipePasswordBuffers();
    ForgetKeyPasswordRepair();
    fakewin::ResetWindow();
}

void ArrangeForm(const Form& form, bool display) {
    if (display)
        fakewin::ViewForm(form.current);
    else if (form.keyForm)
        fakewin::KeyChangeForm(form.current, form.newText, form.confirm);
    else
        fakewin::LoginChangeForm(form.current, form.newText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const Form form = FormOf(data[0]);
    const int which = data[1] % 4;  // refresh, display, change, or all three
    Reset();
    fuzzkey::Begin(data + 2, size - 2, KeyOf(data[0]));
    for (int operation = 0; operation < 3; ++operation) {
        if (which != 3 && which != operation) continue;
        fakewin::ResetWindow();
        fuzzkey::ClearExchanges();
        const KeyIdentity before = keyIdentity;
        int result = 1;
        if (operation == 0) {
            RefreshKeyStatus();
        } else {
            ArrangeForm(form, operation == 1);
            result = operation == 1 ? ShowLoginPassword(nullptr) : ChangePassword(nullptr);
        }
        const std::vector<Exchange>& log = fuzzkey::Exchanges();
        CheckStopsAtTheFirstSilence(log);
        if (operation == 0) CheckRefresh(before, log);
        if (operation == 1) CheckDisplay(form, log);
        if (operation == 2) CheckChange(form, result, log);
        CheckWiped();
    }
    // All three, and a change that left a repair: the refresh after.
    if (which == 3 && KeyPasswordRepairPending()) {
        const KeyPasswordRepair kept = KeptKeyPasswordRepair();
        fakewin::ResetWindow();
        fuzzkey::ClearExchanges();
        RefreshKeyStatus();
        CheckStopsAtTheFirstSilence(fuzzkey::Exchanges());
        CheckRepair(kept, fuzzkey::Exchanges());
        CheckWiped();
    }
    return 0;
}
