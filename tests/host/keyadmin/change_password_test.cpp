// The password change against the virtual key: the three ways to change,
// the checks before any write, and the honest outcome of every write.
#include "admin_fixture.h"
#include "expected_texts.h"

namespace {

using inproc::WireEventKind;
using ChangePasswordTest = AdminTest;

const std::string kKeyCaption = expected::kKeyCaption;
const std::string kLoginCaption = expected::kLoginCaption;
const std::string kNotFound = expected::kNotFound;
const std::string kMismatch = expected::kMismatch;
const std::string kWrongPassword = expected::kWrongPassword;
const std::string kChangeFailed = expected::kChangeFailed;
const std::string kLoginChanged = expected::kLoginChanged;
const std::string kKeyChanged = expected::kKeyChanged;
const std::string kLoginChangeFailed = expected::kLoginChangeFailed;
const std::string kKeyChangeInterrupted = expected::kKeyChangeInterrupted;
const std::string kLoginChangedKeySilent = expected::kLoginChangedKeySilent;

// A change: presence, the stored key password, twelve writes, presence.
std::vector<std::string> ChangeWire(int base) {
    return AdminTest::Join(
        {{"S1"}, AdminTest::Cells('R', 40, 12), AdminTest::Cells('W', base, 12), {"S1"}});
}

void ExpectBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    const fakewin::MessageBoxCall& box = AdminTest::OnlyBox();
    EXPECT_EQ(kOwner, box.owner);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(icon, box.icon);
}

TEST_F(ChangePasswordTest, LoginPasswordChangeAsksNoConfirmation) {
    vkey::VirtualKey& key = Provisioned("secret", "oldlogin123");
    fakewin::LoginChangeForm("secret", "newpw");
    EXPECT_EQ(1, ChangePassword(kOwner));

    EXPECT_EQ(ChangeWire(28), Wire());
    EXPECT_EQ(Padded("newpw"), Field(key, 28));
    EXPECT_EQ(Padded("secret"), Field(key, 40));
    ExpectBox(kLoginChanged, kLoginCaption, MessageIcon::Information);
    EXPECT_EQ((std::vector<PasswordEdit>{PasswordEdit::Current, PasswordEdit::NewLogin}),
              Window().editsRead);
    EXPECT_EQ((std::vector<int>{12, 12}), Window().limits);
    EXPECT_EQ((std::vector<PasswordEdit>{PasswordEdit::NewLogin, PasswordEdit::Confirm}),
              Window().editsEmptied);
    EXPECT_EQ("secret", Window().edits[0]);  // the current password is kept
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ChangePasswordTest, KeyPasswordChange) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    fakewin::KeyChangeForm("secret", "newkey", "newkey");
    EXPECT_EQ(1, ChangePassword(kOwner));

    EXPECT_EQ(ChangeWire(40), Wire());
    EXPECT_EQ(Padded("newkey"), Field(key, 40));
    EXPECT_EQ(Padded("login"), Field(key, 28));
    ExpectBox(kKeyChanged, kKeyCaption, MessageIcon::Information);
    EXPECT_EQ((std::vector<PasswordEdit>{PasswordEdit::NewKey, PasswordEdit::Confirm,
                                         PasswordEdit::Current}),
              Window().editsRead);
    EXPECT_EQ((std::vector<PasswordEdit>{PasswordEdit::NewKey, PasswordEdit::Confirm}),
              Window().editsEmptied);
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ChangePasswordTest, ConfirmationMismatchReadsNoCell) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    fakewin::KeyChangeForm("secret", "newkey1", "newkey2");
    EXPECT_EQ(0, ChangePassword(kOwner));
    EXPECT_EQ(std::vector<std::string>{"S1"}, Wire());
    ExpectBox(kMismatch, kKeyCaption, MessageIcon::Warning);
    EXPECT_TRUE(Window().editsEmptied.empty());
    EXPECT_EQ(Padded("secret"), Field(key, 40));
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ChangePasswordTest, WrongCurrentPasswordWritesNothing) {
    for (bool keyForm : {false, true}) {
        SCOPED_TRACE(keyForm ? "key password form" : "login password form");
        inproc::Reset();
        Provisioned("secret", "login");
        if (keyForm)
            fakewin::KeyChangeForm("secreT", "newkey", "newkey");
        else
            fakewin::LoginChangeForm("secreT", "newlogin");
        EXPECT_EQ(1, ChangePassword(kOwner));
        EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12)}), Wire());
        // Both forms carry the key password's caption here.
        ExpectBox(kWrongPassword, kKeyCaption, MessageIcon::Warning);
        EXPECT_TRUE(Window().editsEmptied.empty());
        EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
        EXPECT_TRUE(PasswordBuffersWiped());
    }
}

TEST_F(ChangePasswordTest, FirstKeyPasswordOfAFactoryInitialKey) {
    vkey::VirtualKey& key = FactoryInitial();
    fakewin::KeyChangeForm("", "first", "first");
    EXPECT_EQ(1, ChangePassword(kOwner));

    EXPECT_EQ(ChangeWire(40), Wire());
    EXPECT_EQ(Padded("first"), Field(key, 40));
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    ASSERT_EQ(1u, Window().menuUpdates.size());
    EXPECT_EQ(kOwner, Window().menuUpdates[0].first);
    EXPECT_EQ(KeyStatus::Connected, Window().menuUpdates[0].second);
    EXPECT_EQ((std::vector<PasswordEdit>{PasswordEdit::NewKey, PasswordEdit::Confirm}),
              Window().editsEmptied);
    ExpectBox(kKeyChanged, kKeyCaption, MessageIcon::Information);
}

TEST_F(ChangePasswordTest, LoginChangeOnAFactoryInitialKeyIsRefused) {
    vkey::VirtualKey& key = FactoryInitial();
    fakewin::LoginChangeForm("", "newlogin");
    EXPECT_EQ(1, ChangePassword(kOwner));
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12)}), Wire());
    ExpectBox(kWrongPassword, kKeyCaption, MessageIcon::Warning);
    EXPECT_EQ(KeyStatus::Initial, keyIdentity.status);
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_EQ(0x0D, key.contents().cells[40]);
}

TEST_F(ChangePasswordTest, EmptyNewKeyPasswordIsAccepted) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    fakewin::KeyChangeForm("secret", "", "");
    ChangePassword(kOwner);
    ExpectBox(kKeyChanged, kKeyCaption, MessageIcon::Information);
    EXPECT_EQ(std::string(12, '\0'), Field(key, 40));

    // The empty text is now the key password.
    fakewin::ViewForm("");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(Shown("login"), OnlyBox().text);
}

TEST_F(ChangePasswordTest, ElevenBytesFillTheFieldUpToItsTerminator) {
    for (const char* typed : {"abcdefghijk", "abcdefghijklmn"}) {
        SCOPED_TRACE(typed);
        inproc::Reset();
        vkey::VirtualKey& key = Provisioned("secret", "LOGINPASSWD!");
        fakewin::LoginChangeForm("secret", typed);
        ChangePassword(kOwner);
        EXPECT_EQ(Padded("abcdefghijk"), WrittenBytes());
        EXPECT_EQ(Padded("abcdefghijk"), Field(key, 28));
        EXPECT_EQ(0, key.contents().cells[39]);
    }
}

TEST_F(ChangePasswordTest, NoKeyIsNotFoundInEitherForm) {
    for (bool keyForm : {false, true}) {
        fakewin::ResetWindow();
        keyIdentity.status = KeyStatus::Connected;
        if (keyForm)
            fakewin::KeyChangeForm("secret", "a", "b");  // not even the confirmation is checked
        else
            fakewin::LoginChangeForm("secret", "newlogin");
        EXPECT_EQ(1, ChangePassword(kOwner));
        ExpectBox(kNotFound, kKeyCaption, MessageIcon::Warning);
        EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
        EXPECT_TRUE(Window().menuUpdates.empty());
        EXPECT_TRUE(Window().editsRead.empty());
    }
    EXPECT_EQ(0, inproc::Count(WireEventKind::Write));
}

// Lost before the first write: the stored password read so far is stale,
// and the user hears that the key is gone, not that the password is wrong.
TEST_F(ChangePasswordTest, KeyLostBeforeTheFirstWriteIsNotFound) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    key.UnplugAfter(1 + 5);
    fakewin::KeyChangeForm("secret", "newkey", "newkey");
    EXPECT_EQ(1, ChangePassword(kOwner));
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 5)}), Wire());
    ExpectBox(kNotFound, kKeyCaption, MessageIcon::Warning);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_TRUE(Window().editsEmptied.empty());
}

// Unplugged after its fifth write: the writes stop at the failed one, no
// rediscovery follows, the mode's error box is shown and the form keeps
// its text.
TEST_F(ChangePasswordTest, KeyUnpluggedAfterItsFifthWrite) {
    struct Mode {
        bool keyForm, initial;
        int base;
        const std::string& caption;
        const std::string& box;
    };
    for (const Mode& mode : {Mode{false, false, 28, kLoginCaption, kLoginChangeFailed},
                             Mode{true, false, 40, kKeyCaption, kKeyChangeInterrupted},
                             Mode{true, true, 40, kKeyCaption, kKeyChangeInterrupted}}) {
        SCOPED_TRACE(std::to_string(mode.base) + (mode.initial ? " initial" : ""));
        NextRound();
        vkey::VirtualKey& key = mode.initial ? FactoryInitial() : Provisioned("secret", "login");
        key.UnplugAfter(13 + 5);
        const std::string current = mode.initial ? "" : "secret";
        if (mode.keyForm)
            fakewin::KeyChangeForm(current, "abcdefgh", "abcdefgh");
        else
            fakewin::LoginChangeForm(current, "abcdefgh");
        EXPECT_EQ(1, ChangePassword(kOwner));

        EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), Cells('W', mode.base, 5)}), Wire());
        EXPECT_EQ(1, inproc::Count(WireEventKind::WriteFailed));
        EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));
        ExpectBox(mode.box, mode.caption, MessageIcon::Warning);
        EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
        EXPECT_TRUE(Window().editsEmptied.empty());
        EXPECT_TRUE(Window().menuUpdates.empty());
        // Nothing is rolled back now: five new bytes, then the old field.
        // ("login" and the factory mark end within five cells; "secret" does not.)
        const std::string oldTail = mode.keyForm && !mode.initial ? "t" : "";
        EXPECT_EQ(Padded("abcde" + oldTail), Field(key, mode.base));
        EXPECT_TRUE(PasswordBuffersWiped());
    }
}

TEST_F(ChangePasswordTest, KeyFallingSilentCostsOneTimeout) {
    Provisioned("secret", "login");
    fakewin::KeyChangeForm("secret", "newkey", "newkey");
    Window().onEditRead = [](PasswordEdit edit) {
        if (edit == PasswordEdit::Current) inproc::Devices()[0].SetSilent(true);
    };
    vkey::VirtualKey& key = inproc::Devices()[0];
    ChangePassword(kOwner);
    EXPECT_EQ(1, inproc::Count(WireEventKind::ReadTimeout));
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), {"W40"}}), Wire());
    ExpectBox(kKeyChangeInterrupted, kKeyCaption, MessageIcon::Warning);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    // The silent key stored the write it did not answer; nothing is rolled
    // back now, which would cost a second timeout.
    EXPECT_EQ(Padded("necret"), Field(key, 40));
}

// Every cell echoed, so the new password is on the key: the box says so,
// and that the key did not answer after.
TEST_F(ChangePasswordTest, KeyGoneAfterTheLastWriteFailsThePresenceTest) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    key.UnplugAfter(13 + 12);
    fakewin::LoginChangeForm("secret", "newlogin");
    ChangePassword(kOwner);
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), Cells('W', 28, 12)}), Wire());
    EXPECT_EQ(1, inproc::Count(WireEventKind::WriteFailed));
    EXPECT_EQ(Padded("newlogin"), Field(key, 28));
    ExpectBox(kLoginChangedKeySilent, kLoginCaption, MessageIcon::Warning);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
}

// The key answers a write with another byte than the one written: the
// writes stop at that cell. A key password (a change or the first one) gets
// its old bytes back, the refused cell included; the key refuses that cell
// again, so the field is read back, and it holds the old key password, which
// still unlocks the key. The login password keeps the new bytes written
// before the refused cell and must be set again. The key answered, so the
// status stays.
TEST_F(ChangePasswordTest, RefusedWriteStopsAndTheKeyPasswordIsRestored) {
    struct Mode {
        bool keyForm, initial;
        int base, refused;
        const std::string& caption;
        std::string fieldAfter;  // the 12 cells of the field afterwards
        const std::string& box;
    };
    const std::string factory = std::string(1, '\x0D') + std::string(11, '\0');
    for (const Mode& mode :
         {Mode{false, false, 28, 30, kLoginCaption, Padded("abgin"), kLoginChangeFailed},
          Mode{true, false, 40, 45, kKeyCaption, Padded("secret"), kChangeFailed},
          Mode{true, false, 40, 40, kKeyCaption, Padded("secret"), kChangeFailed},
          Mode{true, true, 40, 51, kKeyCaption, factory, kChangeFailed}}) {
        SCOPED_TRACE(std::to_string(mode.refused) + (mode.initial ? " initial" : ""));
        inproc::Reset();
        vkey::VirtualKey& key = mode.initial ? FactoryInitial() : Provisioned("secret", "login");
        key.RefuseWritesTo(static_cast<std::uint8_t>(mode.refused));
        const KeyStatus before = keyIdentity.status;
        const std::string current = mode.initial ? "" : "secret";
        if (mode.keyForm)
            fakewin::KeyChangeForm(current, "abcdefgh", "abcdefgh");
        else
            fakewin::LoginChangeForm(current, "abcdefgh");
        EXPECT_EQ(1, ChangePassword(kOwner));

        const std::vector<std::string> written =
            Cells('W', mode.base, mode.refused - mode.base + 1);
        const std::vector<std::string> none;
        EXPECT_EQ(Join({{"S1"},
                        Cells('R', 40, 12),
                        written,
                        mode.keyForm ? written : none,
                        mode.keyForm ? Cells('R', 40, 12) : none}),
                  Wire());
        EXPECT_EQ(mode.fieldAfter, Field(key, mode.base));
        ExpectBox(mode.box, mode.caption, MessageIcon::Warning);
        EXPECT_FALSE(KeyPasswordRepairPending());
        EXPECT_EQ(before, keyIdentity.status);
        EXPECT_TRUE(Window().editsEmptied.empty());
        EXPECT_TRUE(Window().menuUpdates.empty());
        EXPECT_TRUE(PasswordBuffersWiped());
    }
}

// The old key password still unlocks a key that refused the new one.
TEST_F(ChangePasswordTest, OldKeyPasswordUnlocksAfterARefusedChange) {
    Provisioned("secret", "login").RefuseWritesTo(43);
    fakewin::KeyChangeForm("secret", "newkey", "newkey");
    ChangePassword(kOwner);
    fakewin::ResetWindow();
    fakewin::ViewForm("secret");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(Shown("login"), OnlyBox().text);
}

// Putting the old key password back is itself interrupted: by a key pulled
// out (the write fails at once) or one falling silent (one read timeout).
// It goes no further, the key is reported gone, and the change is told as
// interrupted: the repair waits for the key to come back.
TEST_F(ChangePasswordTest, RestoreInterruptedReportsTheKeyGone) {
    for (bool pulled : {true, false}) {
        SCOPED_TRACE(pulled ? "pulled" : "silent");
        NextRound();
        vkey::VirtualKey& key = Provisioned("secret", "login");
        key.RefuseWritesTo(44);
        // 13 reads, 5 writes up to the refused cell, 2 cells restored.
        if (pulled)
            key.UnplugAfter(13 + 5 + 2);
        else
            key.SilentAfter(13 + 5 + 2);
        fakewin::KeyChangeForm("secret", "newkey", "newkey");
        ChangePassword(kOwner);

        EXPECT_EQ(
            Join({{"S1"}, Cells('R', 40, 12), Cells('W', 40, 5), Cells('W', 40, pulled ? 2 : 3)}),
            Wire());
        EXPECT_EQ(pulled ? 1 : 0, inproc::Count(WireEventKind::WriteFailed));
        EXPECT_EQ(pulled ? 0 : 1, inproc::Count(WireEventKind::ReadTimeout));
        EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));
        ExpectBox(kKeyChangeInterrupted, kKeyCaption, MessageIcon::Warning);
        EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
        EXPECT_TRUE(KeyPasswordRepairPending());
        // "newket" after the writes, restored as far as it went; the silent
        // key stored the write it did not answer.
        EXPECT_EQ(Padded(pulled ? "sewket" : "secket"), Field(key, 40));
    }
}

// Both forms share the new-password text; the bytes after a shorter text
// are zeros, never the tail of the longer one typed before, nor whatever
// the edit left in the buffer after the terminator.
TEST_F(ChangePasswordTest, NoOldTextAfterTheTerminator) {
    vkey::VirtualKey& key = Provisioned("secret", "login");
    fakewin::KeyChangeForm("secret", "abcdefghijk", "abcdefghijk");
    ChangePassword(kOwner);
    ASSERT_EQ(Padded("abcdefghijk"), Field(key, 40));

    fakewin::LoginChangeForm("abcdefghijk", "xy");
    inproc::ClearEvents();
    ChangePassword(kOwner);
    EXPECT_EQ(Padded("xy"), WrittenBytes());
    EXPECT_EQ(Padded("xy"), Field(key, 28));

    fakewin::LoginChangeForm("abcdefghijk", "LONGLOGINPW");
    ChangePassword(kOwner);
    fakewin::KeyChangeForm("abcdefghijk", "k", "k");
    Window().scribblesAfterText = true;
    inproc::ClearEvents();
    ChangePassword(kOwner);
    EXPECT_EQ(Padded("k"), WrittenBytes());
    EXPECT_EQ(Padded("k"), Field(key, 40));
    ExpectBox(kKeyChanged, kKeyCaption, MessageIcon::Information);
}

}  // namespace
