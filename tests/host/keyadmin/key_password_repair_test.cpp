// No lockout from an interrupted key-password change: for every fault of
// every change, what the key holds and what the user is told right after
// it, and after the next refresh, which settles the pending repair; then the
// repair met by the display and the change, by another key, by a key that
// does not take the old field back, and what stays in memory.
#include <algorithm>

#include "admin_fixture.h"
#include "expected_texts.h"
#include "key_password_repair.h"

namespace {

using inproc::WireEventKind;
using KeyPasswordRepairTest = AdminTest;

enum class Kind : std::uint8_t { LoginPassword, KeyPassword, FirstKeyPassword };
enum class Fault : std::uint8_t { RefusedWrite, KeySilent, StopsTakingWrites, Pulled };

// Where the fault strikes: the write to cell base + at, or kAfterWrites, the
// presence test after the twelve writes.
constexpr int kAfterWrites = 12;

const std::string kOldKey = Padded("oldpassword");
const std::string kNewKey = Padded("NEWPASSWORD");
const std::string kFactory = std::string(1, '\x0D') + std::string(11, '\0');
const std::string kOldLogin = "oldloginpw12";  // all twelve cells
const std::string kNewLogin = Padded("NEWLOGINPWD");

struct ChangeKind {
    const char* name;
    int base;
    const std::string& oldField;
    const std::string& newField;
    const char* caption;
    vkey::VirtualKey& (*arrange)();  // the key and the form
};

const ChangeKind kKinds[] = {
    {"login password", 28, kOldLogin, kNewLogin, expected::kLoginCaption,
     []() -> vkey::VirtualKey& {
         vkey::VirtualKey& key = AdminTest::Provisioned("keypw", kOldLogin);
         fakewin::LoginChangeForm("keypw", "NEWLOGINPWD");
         return key;
     }},
    {"key password", 40, kOldKey, kNewKey, expected::kKeyCaption,
     []() -> vkey::VirtualKey& {
         vkey::VirtualKey& key = AdminTest::Provisioned("oldpassword", "login");
         fakewin::KeyChangeForm("oldpassword", "NEWPASSWORD", "NEWPASSWORD");
         return key;
     }},
    {"first key password", 40, kFactory, kNewKey, expected::kKeyCaption,
     []() -> vkey::VirtualKey& {
         vkey::VirtualKey& key = AdminTest::FactoryInitial();
         fakewin::KeyChangeForm("", "NEWPASSWORD", "NEWPASSWORD");
         return key;
     }},
};

const char* const kFaultNames[] = {"refused write", "key silent", "key stops taking writes",
                                   "key pulled"};

// The fault strikes on the exchange after `answered`, or at the write to `cell`.
void Strike(vkey::VirtualKey& key, Fault fault, int cell, int answered) {
    switch (fault) {
        case Fault::RefusedWrite:
            return key.RefuseWritesTo(static_cast<std::uint8_t>(cell));
        case Fault::KeySilent:
            return key.SilentAfter(answered);
        case Fault::StopsTakingWrites:
            return key.StopTakingWritesAfter(answered);
        case Fault::Pulled:
            return key.UnplugAfter(answered);
    }
}

// The user plugs the key back in: it answers and takes writes again.
void PlugBackIn(vkey::VirtualKey& key) {
    key.Replug();
    key.SetSilent(false);
    key.SetTakingWrites(true);
    key.RefuseAllWrites(false);
}

// `count` cells of the new field, then the old one's.
std::string NewThenOld(const ChangeKind& kind, int count) {
    return kind.newField.substr(0, count) + kind.oldField.substr(count);
}

int CellWrites() {
    const std::vector<std::string> wire = AdminTest::Wire();
    return static_cast<int>(
        std::count_if(wire.begin(), wire.end(), [](const std::string& w) { return w[0] == 'W'; }));
}

int Timeouts() {
    return inproc::Count(WireEventKind::ReadTimeout) + inproc::Count(WireEventKind::WriteTimeout);
}

struct FaultCase {
    Kind kind;
    Fault fault;
    int at;
    int newCells;         // cells of the field that hold new bytes after the change
    const char* told;     // the box after the change
    const char* repair;   // the box of the next refresh; null: none
    bool newKeyPassword;  // the new key password holds after that refresh
};

using K = Kind;
using F = Fault;
using namespace expected;

// The writes of a key password never leave the old and the new one mixed
// once the key is back: the refresh puts one of them back in force and says
// which. "oldpassword" and "NEWPASSWORD" both end in a zero in cell 11, so a
// key password with all but its last cell written is the new one.
const FaultCase kFaultCases[] = {
    {K::LoginPassword, F::RefusedWrite, 0, 0, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::RefusedWrite, 5, 5, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::RefusedWrite, 11, 11, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::KeySilent, 0, 1, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::KeySilent, 5, 6, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::KeySilent, 11, 12, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::KeySilent, kAfterWrites, 12, kLoginChangedKeySilent, nullptr, false},
    {K::LoginPassword, F::StopsTakingWrites, 0, 0, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::StopsTakingWrites, 5, 5, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::StopsTakingWrites, 11, 11, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::StopsTakingWrites, kAfterWrites, 12, kLoginChangedKeySilent, nullptr,
     false},
    {K::LoginPassword, F::Pulled, 0, 0, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::Pulled, 5, 5, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::Pulled, 11, 11, kLoginChangeFailed, nullptr, false},
    {K::LoginPassword, F::Pulled, kAfterWrites, 12, kLoginChangedKeySilent, nullptr, false},

    {K::KeyPassword, F::RefusedWrite, 0, 0, kChangeFailed, nullptr, false},
    {K::KeyPassword, F::RefusedWrite, 5, 0, kChangeFailed, nullptr, false},
    {K::KeyPassword, F::RefusedWrite, 11, 0, kChangeFailed, nullptr, false},
    {K::KeyPassword, F::KeySilent, 0, 1, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::KeySilent, 5, 6, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::KeySilent, 11, 12, kKeyChangeInterrupted, kRepairNewHolds, true},
    {K::KeyPassword, F::KeySilent, kAfterWrites, 12, kKeyChangedKeySilent, kRepairNewHolds, true},
    {K::KeyPassword, F::StopsTakingWrites, 0, 0, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::StopsTakingWrites, 5, 5, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::StopsTakingWrites, 11, 11, kKeyChangeInterrupted, kRepairNewHolds, true},
    {K::KeyPassword, F::StopsTakingWrites, kAfterWrites, 12, kKeyChangedKeySilent, kRepairNewHolds,
     true},
    {K::KeyPassword, F::Pulled, 0, 0, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::Pulled, 5, 5, kKeyChangeInterrupted, kRepairOldBack, false},
    {K::KeyPassword, F::Pulled, 11, 11, kKeyChangeInterrupted, kRepairNewHolds, true},
    {K::KeyPassword, F::Pulled, kAfterWrites, 12, kKeyChangedKeySilent, kRepairNewHolds, true},

    {K::FirstKeyPassword, F::RefusedWrite, 0, 0, kChangeFailed, nullptr, false},
    {K::FirstKeyPassword, F::RefusedWrite, 5, 0, kChangeFailed, nullptr, false},
    {K::FirstKeyPassword, F::RefusedWrite, 11, 0, kChangeFailed, nullptr, false},
    {K::FirstKeyPassword, F::KeySilent, 0, 1, kKeyChangeInterrupted, kRepairFactoryBack, false},
    {K::FirstKeyPassword, F::KeySilent, 5, 6, kKeyChangeInterrupted, kRepairFactoryBack, false},
    {K::FirstKeyPassword, F::KeySilent, 11, 12, kKeyChangeInterrupted, kRepairNewHolds, true},
    {K::FirstKeyPassword, F::KeySilent, kAfterWrites, 12, kKeyChangedKeySilent, kRepairNewHolds,
     true},
    {K::FirstKeyPassword, F::StopsTakingWrites, 0, 0, kKeyChangeInterrupted, kRepairFactoryBack,
     false},
    {K::FirstKeyPassword, F::StopsTakingWrites, 5, 5, kKeyChangeInterrupted, kRepairFactoryBack,
     false},
    {K::FirstKeyPassword, F::StopsTakingWrites, 11, 11, kKeyChangeInterrupted, kRepairNewHolds,
     true},
    {K::FirstKeyPassword, F::StopsTakingWrites, kAfterWrites, 12, kKeyChangedKeySilent,
     kRepairNewHolds, true},
    {K::FirstKeyPassword, F::Pulled, 0, 0, kKeyChangeInterrupted, kRepairFactoryBack, false},
    {K::FirstKeyPassword, F::Pulled, 5, 5, kKeyChangeInterrupted, kRepairFactoryBack, false},
    {K::FirstKeyPassword, F::Pulled, 11, 11, kKeyChangeInterrupted, kRepairNewHolds, true},
    {K::FirstKeyPassword, F::Pulled, kAfterWrites, 12, kKeyChangedKeySilent, kRepairNewHolds, true},
};

void ExpectBoxes(const std::vector<std::pair<std::string, std::string>>& textAndCaption) {
    const auto& boxes = AdminTest::Window().boxes;
    ASSERT_EQ(textAndCaption.size(), boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(kOwner, boxes[i].owner);
        EXPECT_EQ(textAndCaption[i].first, boxes[i].text) << "box " << i;
        EXPECT_EQ(textAndCaption[i].second, boxes[i].caption) << "box " << i;
    }
}

TEST_F(KeyPasswordRepairTest, EveryFaultOfEveryChangeAndTheNextRefresh) {
    for (const FaultCase& c : kFaultCases) {
        const ChangeKind& kind = kKinds[static_cast<int>(c.kind)];
        SCOPED_TRACE(
            std::string(kind.name) + ", " + kFaultNames[static_cast<int>(c.fault)] +
            (c.at == kAfterWrites ? " after the writes" : " at cell " + std::to_string(c.at)));
        NextRound();
        vkey::VirtualKey& key = kind.arrange();
        const KeyStatus before = keyIdentity.status;
        Strike(key, c.fault, kind.base + c.at, 13 + c.at);
        ChangePassword(kOwner);

        // Right after the change.
        EXPECT_EQ(NewThenOld(kind, c.newCells), Field(key, kind.base));
        ExpectBoxes({{c.told, kind.caption}});
        EXPECT_EQ(MessageIcon::Warning, OnlyBox().icon);
        EXPECT_EQ(c.fault == Fault::RefusedWrite ? before : KeyStatus::NotFound,
                  keyIdentity.status);
        EXPECT_EQ(c.repair != nullptr, KeyPasswordRepairPending());
        EXPECT_TRUE(Window().editsEmptied.empty());
        EXPECT_LE(Timeouts(), 1);
        EXPECT_TRUE(PasswordBuffersWiped());

        // The key plugged back in, the refresh button pressed.
        PlugBackIn(key);
        fakewin::ResetWindow();
        inproc::ClearEvents();
        RefreshKeyStatus(kOwner);
        if (c.repair)
            ExpectBoxes({{c.repair, kKeyCaption}});
        else
            EXPECT_TRUE(Window().boxes.empty());
        EXPECT_FALSE(KeyPasswordRepairPending());
        EXPECT_EQ(0, Timeouts());
        const std::string fieldNow = Field(key, kind.base);
        if (c.kind == Kind::LoginPassword) {
            EXPECT_EQ(NewThenOld(kind, c.newCells), fieldNow);
            EXPECT_EQ(std::vector<std::string>{kAttachedStatus}, Window().statusTexts);
            continue;
        }
        EXPECT_EQ(c.newKeyPassword ? kind.newField : kind.oldField, fieldNow);
        const bool initial = fieldNow == kFactory;
        EXPECT_EQ(std::vector<std::string>{initial ? kInitialStatus : kAttachedStatus},
                  Window().statusTexts);
        if (initial) continue;
        // The key password the user was told of unlocks the key.
        fakewin::ViewForm(c.newKeyPassword ? "NEWPASSWORD" : "oldpassword");
        ShowLoginPassword(kOwner);
        EXPECT_EQ(Shown(c.kind == Kind::KeyPassword ? "login" : ""), OnlyBox().text);
    }
}

// An interrupted key password: five new bytes, then the old ones.
vkey::VirtualKey& InterruptedAtCell45() {
    vkey::VirtualKey& key = AdminTest::Provisioned("oldpassword", "login");
    key.UnplugAfter(13 + 5);
    fakewin::KeyChangeForm("oldpassword", "NEWPASSWORD", "NEWPASSWORD");
    ChangePassword(kOwner);
    EXPECT_TRUE(KeyPasswordRepairPending());
    EXPECT_EQ(Padded("NEWPAssword"), AdminTest::Field(key, 40));
    key.Replug();
    fakewin::ResetWindow();
    inproc::ClearEvents();
    return key;
}

// The refresh settles the repair after the serial number, before the login
// ID; the display and the change read the serial number only while a repair
// is pending, and settle it before anything else.
TEST_F(KeyPasswordRepairTest, TheRepairComesFirstAndTheSerialIsReadOnlyWhilePending) {
    InterruptedAtCell45();
    RefreshKeyStatus(kOwner);
    EXPECT_EQ(Join({{"S1", "S1", "S2", "S3", "S4"},
                    Cells('R', 40, 12),
                    Cells('W', 40, 12),
                    Cells('R', 16, 12),
                    {"R40"}}),
              Wire());
    EXPECT_EQ(Padded("oldpassword"), WrittenBytes());

    NextRound();
    vkey::VirtualKey& key = InterruptedAtCell45();
    fakewin::ViewForm("oldpassword");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(Join({{"S1", "S1", "S2", "S3", "S4"},
                    Cells('R', 40, 12),
                    Cells('W', 40, 12),
                    Cells('R', 40, 12),
                    Cells('R', 28, 12)}),
              Wire());
    ExpectBoxes({{kRepairOldBack, kKeyCaption}, {Shown("login"), kViewCaption}});
    EXPECT_EQ(MessageIcon::Information, Window().boxes[0].icon);

    // Nothing pending: the display as ever.
    inproc::ClearEvents();
    fakewin::ViewForm("oldpassword");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), Cells('R', 28, 12)}), Wire());

    // The change after an interrupted one, with the form as it was left.
    ForgetKeyPasswordRepair();
    key.UnplugAfter(13 + 5);
    fakewin::KeyChangeForm("oldpassword", "NEWPASSWORD", "NEWPASSWORD");
    ChangePassword(kOwner);
    key.Replug();
    fakewin::Window().boxes.clear();
    inproc::ClearEvents();
    ChangePassword(kOwner);
    EXPECT_EQ(Join({{"S1", "S1", "S2", "S3", "S4"},
                    Cells('R', 40, 12),
                    Cells('W', 40, 12),
                    Cells('R', 40, 12),
                    Cells('W', 40, 12),
                    {"S1"}}),
              Wire());
    ExpectBoxes({{kRepairOldBack, kKeyCaption}, {kKeyChanged, kKeyCaption}});
    EXPECT_EQ(kNewKey, Field(key, 40));
    EXPECT_FALSE(KeyPasswordRepairPending());
}

// An interrupted first key password met by the change again: the key is
// factory-initial once more and takes its first key password.
TEST_F(KeyPasswordRepairTest, AChangeAfterAnInterruptedFirstKeyPassword) {
    vkey::VirtualKey& key = FactoryInitial();
    key.SilentAfter(13 + 3);
    fakewin::KeyChangeForm("", "first", "first");
    ChangePassword(kOwner);
    ASSERT_EQ(KeyStatus::NotFound, keyIdentity.status);
    key.SetSilent(false);
    Window().boxes.clear();
    ChangePassword(kOwner);
    ExpectBoxes({{kRepairFactoryBack, kKeyCaption}, {kKeyChanged, kKeyCaption}});
    EXPECT_EQ(Padded("first"), Field(key, 40));
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    ASSERT_EQ(1u, Window().menuUpdates.size());
    EXPECT_EQ(KeyStatus::Connected, Window().menuUpdates[0].second);
}

// A key with another serial number leaves the repair pending and is never
// written to by it. While the repair is pending no key password is written
// over: not on this key, whose old field it keeps, nor on another key.
TEST_F(KeyPasswordRepairTest, AnotherKeyLeavesTheRepairPending) {
    InterruptedAtCell45();
    inproc::Devices()[0].Unplug();
    vkey::VirtualKey& other =
        Attach(vkey::ProvisionedContents({5, 6, 7, 8}, "otherpw", "bob", "bobpw"));
    const vkey::KeyContents untouched = other.contents();
    RefreshKeyStatus(kOwner);
    EXPECT_TRUE(Window().boxes.empty());
    EXPECT_EQ(std::vector<std::string>{kAttachedStatus}, Window().statusTexts);
    EXPECT_EQ(18u, Wire().size());
    EXPECT_TRUE(KeyPasswordRepairPending());
    EXPECT_EQ((std::array<std::uint8_t, 4>{1, 2, 3, 4}), PendingRepairSerial());

    fakewin::KeyChangeForm("otherpw", "newpw", "newpw");
    inproc::ClearEvents();
    ChangePassword(kOwner);
    ExpectBoxes({{kOtherKeyRepairPending, kKeyCaption}});
    EXPECT_TRUE(Window().editsRead.empty());
    EXPECT_EQ((std::vector<std::string>{"S1", "S1", "S2", "S3", "S4"}), Wire());
    EXPECT_EQ(untouched.cells, other.contents().cells);

    // The login password is no key password: its change goes on.
    fakewin::LoginChangeForm("otherpw", "newlogin");
    ChangePassword(kOwner);
    ExpectBoxes({{kLoginChanged, kLoginCaption}});
    EXPECT_TRUE(KeyPasswordRepairPending());

    // The first key comes back: repaired, whichever key was seen between.
    other.Unplug();
    inproc::Devices()[0].Replug();
    fakewin::ResetWindow();
    RefreshKeyStatus(kOwner);
    ExpectBoxes({{kRepairOldBack, kKeyCaption}});
    EXPECT_EQ(kOldKey, Field(inproc::Devices()[0], 40));
}

// A key with the repair's serial number whose field the interrupted writes
// could not have left (each of its cells should hold the old byte or the new
// one) is not the key the change was made on, or its key password was set
// since: the repair does not write to it and stays pending.
TEST_F(KeyPasswordRepairTest, AFieldTheChangeCouldNotHaveLeftIsNotWritten) {
    InterruptedAtCell45();
    vkey::VirtualKey& key = inproc::Devices()[0];
    for (const char* field : {"N3WPAssword", "somethingel", ""}) {
        SCOPED_TRACE(field);
        std::copy_n(Padded(field).begin(), 12, key.contents().cells.begin() + 40);
        fakewin::ResetWindow();
        inproc::ClearEvents();
        RefreshKeyStatus(kOwner);
        EXPECT_TRUE(Window().boxes.empty());
        EXPECT_EQ(0, CellWrites());
        EXPECT_EQ(Padded(field), Field(key, 40));
        EXPECT_TRUE(KeyPasswordRepairPending());
    }
}

// Putting the old field back that is itself refused or interrupted is never
// reported as done: the repair stays pending, the user is told that the key
// password is not yet repaired, and a later refresh finishes it.
TEST_F(KeyPasswordRepairTest, ARestoreRefusedOrInterruptedIsNotReportedDone) {
    struct Case {
        const char* name;
        void (*strike)(vkey::VirtualKey& key);  // during the refresh that repairs
        bool keyAnswers;
        std::string field;  // afterwards
    };
    // The refresh: presence, four serial bytes, twelve reads, twelve writes.
    const Case cases[] = {
        {"every write refused", [](vkey::VirtualKey& key) { key.RefuseAllWrites(true); }, true,
         Padded("NEWPAssword")},
        {"a write refused", [](vkey::VirtualKey& key) { key.RefuseWritesTo(42); }, true,
         Padded("olWpassword")},
        {"pulled during the writes", [](vkey::VirtualKey& key) { key.UnplugAfter(17 + 3); }, false,
         Padded("oldPAssword")},
        {"silent during the writes", [](vkey::VirtualKey& key) { key.SilentAfter(17 + 3); }, false,
         Padded("oldpAssword")},
        {"silent while the field is read", [](vkey::VirtualKey& key) { key.SilentAfter(5 + 3); },
         false, Padded("NEWPAssword")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NextRound();
        vkey::VirtualKey& key = InterruptedAtCell45();
        c.strike(key);
        RefreshKeyStatus(kOwner);
        ExpectBoxes({{kNotRepaired, kKeyCaption}});
        EXPECT_EQ(MessageIcon::Warning, OnlyBox().icon);
        EXPECT_TRUE(KeyPasswordRepairPending());
        EXPECT_EQ(c.keyAnswers ? KeyStatus::Connected : KeyStatus::NotFound, keyIdentity.status);
        EXPECT_EQ(c.field, Field(key, 40));

        // No key password is written over a repair that is not done; the
        // repair's own box is the only one.
        PlugBackIn(key);
        key.RefuseAllWrites(true);
        fakewin::KeyChangeForm("oldpassword", "other", "other");
        ChangePassword(kOwner);
        ExpectBoxes({{kNotRepaired, kKeyCaption}});
        EXPECT_TRUE(Window().editsRead.empty());
        EXPECT_TRUE(KeyPasswordRepairPending());

        key = vkey::VirtualKey(key.contents());  // a key that behaves again
        fakewin::ResetWindow();
        RefreshKeyStatus(kOwner);
        ExpectBoxes({{kRepairOldBack, kKeyCaption}});
        EXPECT_EQ(kOldKey, Field(key, 40));
        EXPECT_FALSE(KeyPasswordRepairPending());
    }
}

// The change puts a refused key password back at once; when the key refuses
// that too, and the field read back is not the old one, the repair is left
// pending and the change says so.
TEST_F(KeyPasswordRepairTest, AChangeWhoseRestoreIsRefusedLeavesTheRepairPending) {
    vkey::VirtualKey& key = Provisioned("oldpassword", "login");
    key.RefuseWritesTo(45);
    key.RefuseWritesAfter(13 + 6 + 2);  // the restore of cells 42 on is refused
    fakewin::KeyChangeForm("oldpassword", "NEWPASSWORD", "NEWPASSWORD");
    ChangePassword(kOwner);
    EXPECT_EQ(
        Join(
            {{"S1"}, Cells('R', 40, 12), Cells('W', 40, 6), Cells('W', 40, 6), Cells('R', 40, 12)}),
        Wire());
    EXPECT_EQ(Padded("olWPAssword"), Field(key, 40));
    ExpectBoxes({{kKeyChangeNotRepaired, kKeyCaption}});
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    EXPECT_TRUE(KeyPasswordRepairPending());

    key = vkey::VirtualKey(key.contents());
    fakewin::ResetWindow();
    RefreshKeyStatus(kOwner);
    ExpectBoxes({{kRepairOldBack, kKeyCaption}});
    EXPECT_EQ(kOldKey, Field(key, 40));
}

bool RepairMemoryZero() {
    const KeyPasswordRepair& kept = KeptKeyPasswordRepair();
    const auto zero = [](const auto& bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0; });
    };
    return !kept.pending && zero(kept.serial) && zero(kept.oldField) && zero(kept.newField) &&
           kept.unknownCells == 0;
}

// The copy of the two key passwords lives only while the repair is
// pending: wiped when it is settled, whichever way, and when it is
// forgotten (the window is destroyed).
TEST_F(KeyPasswordRepairTest, TheRepairIsWipedOnceSettledAndWhenForgotten) {
    vkey::VirtualKey& key = InterruptedAtCell45();
    EXPECT_EQ(kOldKey, std::string(KeptKeyPasswordRepair().oldField.data(), 12));
    EXPECT_EQ(kNewKey, std::string(KeptKeyPasswordRepair().newField.data(), 12));
    RefreshKeyStatus(kOwner);
    EXPECT_TRUE(RepairMemoryZero());

    key.UnplugAfter(13 + 12);  // the new key password stays on the key
    fakewin::KeyChangeForm("oldpassword", "NEWPASSWORD", "NEWPASSWORD");
    ChangePassword(kOwner);
    ASSERT_FALSE(RepairMemoryZero());
    key.Replug();
    RefreshKeyStatus(kOwner);
    EXPECT_EQ(kRepairNewHolds, Window().boxes.back().text);
    EXPECT_TRUE(RepairMemoryZero());

    key.UnplugAfter(13 + 4);
    fakewin::KeyChangeForm("NEWPASSWORD", "third", "third");
    ChangePassword(kOwner);
    ASSERT_FALSE(RepairMemoryZero());
    ForgetKeyPasswordRepair();
    EXPECT_TRUE(RepairMemoryZero());
    EXPECT_FALSE(KeyPasswordRepairPending());
    key.Replug();
    inproc::ClearEvents();
    RefreshKeyStatus(kOwner);
    EXPECT_EQ(18u, Wire().size()) << "a forgotten repair is not carried out";
    EXPECT_EQ(Padded("thirASSWORD"), Field(key, 40));
}

}  // namespace
