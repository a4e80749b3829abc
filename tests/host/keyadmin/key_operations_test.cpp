// The key administration's outcomes as any front end gets them, with no
// window: this binary links keyadmin_core alone, so it would not link if
// the core reached a window operation. What the window never asks for is
// here: a first key password only, or none, and the texts asked for.
#include <algorithm>
#include <string>
#include <vector>

#include "key_operations.h"
#include "link_fixture.h"

namespace {

using KeyOperationsTest = LinkTest;

// The typed texts, and which were asked for in what order.
struct Typed {
    std::string current, newText, confirmation;
    std::vector<char> asked;  // 'c' current, 'n' new, 'k' confirmation
};
Typed typed;

void Fill(TextField& text, const std::string& value, char name) {
    typed.asked.push_back(name);
    text.fill(0);
    std::copy(value.begin(), value.end(), text.begin());
}
void TakeCurrent(TextField& text) {
    Fill(text, typed.current, 'c');
}
void TakeNew(TextField& text) {
    Fill(text, typed.newText, 'n');
}
void TakeConfirmation(TextField& text) {
    Fill(text, typed.confirmation, 'k');
}

ChangeRequest KeyPasswordRequest(FirstKeyPassword first) {
    return {PasswordField::KeyPassword, first, TakeNew, TakeConfirmation, TakeCurrent};
}

// How each way of treating a factory-initial key meets a factory-initial key
// and a key with a key password ("pw"), with the right current key password
// typed for the latter.
TEST_F(KeyOperationsTest, FirstKeyPasswordAllowedRefusedOrOnly) {
    struct Case {
        FirstKeyPassword first;
        bool initial;
        ChangeOutcome outcome;
        bool firstKeyPassword;
        std::vector<char> asked;
    };
    const Case cases[] = {
        {FirstKeyPassword::Allowed, true, ChangeOutcome::Changed, true, {'n', 'k', 'c'}},
        {FirstKeyPassword::Allowed, false, ChangeOutcome::Changed, false, {'n', 'k', 'c'}},
        {FirstKeyPassword::Refused, true, ChangeOutcome::WrongKeyState, false, {'n', 'k'}},
        {FirstKeyPassword::Refused, false, ChangeOutcome::Changed, false, {'n', 'k', 'c'}},
        {FirstKeyPassword::Only, true, ChangeOutcome::Changed, true, {'n', 'k'}},
        {FirstKeyPassword::Only, false, ChangeOutcome::WrongKeyState, false, {'n', 'k'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.first)) +
                     (c.initial ? " factory-initial" : " with a key password"));
        inproc::Reset();
        vkey::VirtualKey& key =
            Attach(c.initial ? vkey::FactoryInitialContents({1, 2, 3, 4})
                             : vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login"));
        const std::string before = Field(key, 40);
        typed = {c.initial ? "" : "pw", "newpw", "newpw", {}};
        const ChangeResult result = ChangeKeyField(KeyPasswordRequest(c.first));
        EXPECT_EQ(c.outcome, result.outcome);
        EXPECT_EQ(c.firstKeyPassword, result.firstKeyPassword);
        EXPECT_EQ(c.asked, typed.asked);
        const bool changed = c.outcome == ChangeOutcome::Changed;
        EXPECT_EQ(changed ? FieldAfter::New : FieldAfter::Old, result.after);
        EXPECT_EQ(changed ? Padded("newpw") : before, Field(key, 40));
        EXPECT_FALSE(KeyPasswordRepairPending());
        WipePasswordBuffers();
    }
}

// Each outcome with what the field holds afterwards, and what is asked for:
// nothing for a missing key, no current key password after a confirmation
// that differs, no new login password after a wrong key password.
TEST_F(KeyOperationsTest, OutcomesSayWhatTheFieldHolds) {
    struct Case {
        const char* name;
        PasswordField field;
        std::string current, confirmation;
        void (*fault)(vkey::VirtualKey& key);
        ChangeOutcome outcome;
        FieldAfter after;
        std::vector<char> asked;
        bool repairPending;
    };
    const auto none = [](vkey::VirtualKey&) {};
    const Case cases[] = {
        {"login changed",
         PasswordField::LoginPassword,
         "pw",
         "",
         none,
         ChangeOutcome::Changed,
         FieldAfter::New,
         {'c', 'n'},
         false},
        {"key changed",
         PasswordField::KeyPassword,
         "pw",
         "newpw",
         none,
         ChangeOutcome::Changed,
         FieldAfter::New,
         {'n', 'k', 'c'},
         false},
        {"no key",
         PasswordField::KeyPassword,
         "pw",
         "newpw",
         [](vkey::VirtualKey& key) { key.Unplug(); },
         ChangeOutcome::NotFound,
         FieldAfter::Old,
         {},
         false},
        {"mismatch",
         PasswordField::KeyPassword,
         "pw",
         "other",
         none,
         ChangeOutcome::ConfirmationMismatch,
         FieldAfter::Old,
         {'n', 'k'},
         false},
        {"wrong login",
         PasswordField::LoginPassword,
         "px",
         "",
         none,
         ChangeOutcome::WrongKeyPassword,
         FieldAfter::Old,
         {'c'},
         false},
        {"login refused",
         PasswordField::LoginPassword,
         "pw",
         "",
         [](vkey::VirtualKey& key) { key.RefuseWritesTo(30); },
         ChangeOutcome::Refused,
         FieldAfter::Mixed,
         {'c', 'n'},
         false},
        {"key refused, put back",
         PasswordField::KeyPassword,
         "pw",
         "newpw",
         [](vkey::VirtualKey& key) { key.RefuseWritesTo(42); },
         ChangeOutcome::Refused,
         FieldAfter::Old,
         {'n', 'k', 'c'},
         false},
        {"login interrupted",
         PasswordField::LoginPassword,
         "pw",
         "",
         [](vkey::VirtualKey& key) { key.UnplugAfter(13 + 2); },
         ChangeOutcome::Interrupted,
         FieldAfter::Mixed,
         {'c', 'n'},
         false},
        {"key interrupted",
         PasswordField::KeyPassword,
         "pw",
         "newpw",
         [](vkey::VirtualKey& key) { key.SilentAfter(13 + 2); },
         ChangeOutcome::Interrupted,
         FieldAfter::Mixed,
         {'n', 'k', 'c'},
         true},
        {"key silent after",
         PasswordField::KeyPassword,
         "pw",
         "newpw",
         [](vkey::VirtualKey& key) { key.SilentAfter(13 + 12); },
         ChangeOutcome::ChangedKeySilentAfter,
         FieldAfter::New,
         {'n', 'k', 'c'},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        inproc::Reset();
        ForgetKeyPasswordRepair();
        c.fault(Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login")));
        typed = {c.current, "newpw", c.confirmation, {}};
        const ChangeResult result = ChangeKeyField(
            {c.field, FirstKeyPassword::Allowed, TakeNew, TakeConfirmation, TakeCurrent});
        EXPECT_EQ(c.outcome, result.outcome);
        EXPECT_EQ(c.after, result.after);
        EXPECT_EQ(RepairOutcome::None, result.repair);
        EXPECT_EQ(c.asked, typed.asked);
        EXPECT_EQ(c.repairPending, KeyPasswordRepairPending());
        const std::span<std::uint8_t> report = keyLink.outputReport;
        EXPECT_TRUE(std::all_of(report.begin(), report.end(), [](auto b) { return b == 0; }));
        WipePasswordBuffers();
    }
}

// A text that a front end leaves longer than 11 bytes is cut to fit the
// field with its terminator.
TEST_F(KeyOperationsTest, TypedTextsKeepTheirTerminator) {
    vkey::VirtualKey& key = Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login"));
    typed = {"pw", "abcdefghijklmnop", "", {}};
    ChangeKeyField({PasswordField::LoginPassword, FirstKeyPassword::Allowed,
                    [](TextField& text) { text.fill('x'); }, TakeConfirmation, TakeCurrent});
    EXPECT_EQ(std::string(11, 'x') + '\0', Field(key, 28));
    const TextField& taken = passwordBuffers.newPasswordText;
    EXPECT_TRUE(std::all_of(taken.begin() + 11, taken.end(), [](char c) { return c == 0; }));
    WipePasswordBuffers();
}

TEST_F(KeyOperationsTest, UnlockAndStatus) {
    vkey::VirtualKey& key =
        Attach(vkey::ProvisionedContents({9, 8, 7, 6}, "pw", "alice", "hunter2"));
    typed = {"pw", "", "", {}};
    UnlockResult unlock = UnlockLoginPassword(TakeCurrent);
    EXPECT_EQ(UnlockOutcome::Unlocked, unlock.outcome);
    EXPECT_STREQ("hunter2", passwordBuffers.loginPassword.data());
    WipePasswordBuffers();
    typed = {"px", "", "", {}};
    unlock = UnlockLoginPassword(TakeCurrent);
    EXPECT_EQ(UnlockOutcome::WrongKeyPassword, unlock.outcome);
    EXPECT_EQ(0, passwordBuffers.loginPassword[0]) << "no login password read";

    KeyIdentity identity;
    StatusResult status = ReadKeyStatus(identity);
    EXPECT_EQ(KeyStatus::Connected, status.status);
    EXPECT_EQ((std::array<std::uint8_t, 4>{9, 8, 7, 6}), identity.serial);
    EXPECT_STREQ("alice", identity.loginId.data());

    key.Unplug();
    typed.asked.clear();
    EXPECT_EQ(UnlockOutcome::NotFound, UnlockLoginPassword(TakeCurrent).outcome);
    EXPECT_TRUE(typed.asked.empty());
    status = ReadKeyStatus(identity);
    EXPECT_EQ(KeyStatus::NotFound, status.status);
    EXPECT_EQ(KeyStatus::NotFound, identity.status);
    EXPECT_STREQ("alice", identity.loginId.data()) << "the identity of the last complete read";
    WipePasswordBuffers();
}

}  // namespace
