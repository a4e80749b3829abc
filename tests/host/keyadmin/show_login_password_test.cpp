// The login-password display against the virtual key: the unlock check,
// the message boxes, and what stays in memory afterwards.
#include "admin_fixture.h"
#include "expected_texts.h"

namespace {

using inproc::WireEventKind;
using ShowLoginPasswordTest = AdminTest;

const std::string kCaption = expected::kViewCaption;
const std::string kNotFound = expected::kNotFound;
const std::string kWrongPassword = expected::kWrongPassword;

TEST_F(ShowLoginPasswordTest, MatchingPasswordShowsTheLoginPassword) {
    Provisioned("secret", "hunter2");
    fakewin::ViewForm("secret");
    EXPECT_EQ(1, ShowLoginPassword(kOwner));

    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), Cells('R', 28, 12)}), Wire());
    const fakewin::MessageBoxCall& box = OnlyBox();
    EXPECT_EQ(kOwner, box.owner);
    EXPECT_EQ(Shown("hunter2"), box.text);
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_EQ(MessageIcon::Information, box.icon);
    // Only the current-password edit is read, with the 12-byte limit; the
    // window keeps its text, its menu and the key status.
    EXPECT_EQ(std::vector<PasswordEdit>{PasswordEdit::Current}, Window().editsRead);
    EXPECT_EQ(std::vector<int>{12}, Window().limits);
    EXPECT_TRUE(Window().editsEmptied.empty());
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
}

TEST_F(ShowLoginPasswordTest, SecretsAreWipedOnceTheBoxIsClosed) {
    Provisioned("secret", "hunter2");
    fakewin::ViewForm("secret");
    ShowLoginPassword(kOwner);
    const fakewin::MessageBoxCall& box = OnlyBox();
    ASSERT_EQ(Shown("hunter2"), box.text);  // as it was while the box was open
    EXPECT_EQ(std::string(64, '\0'), std::string(box.textAddress, 64));
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ShowLoginPasswordTest, WrongPasswordReadsNoLoginPassword) {
    Provisioned("secret", "hunter2");
    fakewin::ViewForm("secreT");
    EXPECT_EQ(1, ShowLoginPassword(kOwner));
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12)}), Wire());
    const fakewin::MessageBoxCall& box = OnlyBox();
    EXPECT_EQ(kWrongPassword, box.text);
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_EQ(MessageIcon::Warning, box.icon);
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ShowLoginPasswordTest, ComparisonIsOfZeroTerminatedBytes) {
    struct Case {
        std::string stored, typed;
        bool shown;
    };
    const Case cases[] = {
        {"", "", true},                           // empty against empty
        {"abcdefghijkl", "abcdefghijkl", false},  // 12 bytes: only 11 are taken
        {"abcdefghijk", "abcdefghijkl", true},    // the 12th typed byte is cut off
        {"abc", "abcd", false},
        {"abcd", "abc", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("stored '" + c.stored + "', typed '" + c.typed + "'");
        inproc::Reset();
        Provisioned(c.stored, "pw");
        fakewin::ViewForm(c.typed);
        ShowLoginPassword(kOwner);
        EXPECT_EQ(c.shown ? Shown("pw") : kWrongPassword, OnlyBox().text);
    }
}

TEST_F(ShowLoginPasswordTest, FactoryInitialKeyNeverUnlocks) {
    FactoryInitial().contents().cells[28] = 'p';
    fakewin::ViewForm("");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(kWrongPassword, OnlyBox().text);
    EXPECT_EQ(13u, Wire().size());
    EXPECT_EQ(KeyStatus::Initial, keyIdentity.status);
}

TEST_F(ShowLoginPasswordTest, LoginPasswordIsShownUnchanged) {
    for (const char* loginPassword : {"it's", "%s%d%n", "abcdefghijkl", "\xFF\xFF"}) {
        inproc::Reset();
        Provisioned("k", loginPassword);
        fakewin::ViewForm("k");
        ShowLoginPassword(kOwner);
        EXPECT_EQ(Shown(loginPassword), OnlyBox().text);
    }
}

TEST_F(ShowLoginPasswordTest, NoKeyReadsNoCellAndKeepsTheMenu) {
    keyIdentity.status = KeyStatus::Connected;
    fakewin::ViewForm("secret");
    EXPECT_EQ(1, ShowLoginPassword(kOwner));
    const fakewin::MessageBoxCall& box = OnlyBox();
    EXPECT_EQ(kNotFound, box.text);
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_EQ(MessageIcon::Warning, box.icon);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_EQ(0, inproc::Count(WireEventKind::Write));
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_TRUE(Window().editsRead.empty());
}

// A key lost while its key password is read: the stale answers would make
// a wrong password of the right one. It is reported as gone instead.
TEST_F(ShowLoginPasswordTest, KeyLostDuringTheKeyPasswordIsNotFound) {
    Provisioned("secret", "hunter2").UnplugAfter(1 + 3);
    fakewin::ViewForm("secret");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(kNotFound, OnlyBox().text);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_EQ((std::vector<std::string>{"S1", "R40", "R41", "R42"}), Wire());
    EXPECT_EQ(1, inproc::Count(WireEventKind::WriteFailed));
    EXPECT_TRUE(Window().menuUpdates.empty());
}

// A key lost while the login password is read: no part of it, and no stale
// byte, is shown.
TEST_F(ShowLoginPasswordTest, KeyLostDuringTheLoginPasswordShowsNothingOfIt) {
    Provisioned("secret", "hunter2").UnplugAfter(1 + 12 + 5);
    fakewin::ViewForm("secret");
    ShowLoginPassword(kOwner);
    EXPECT_EQ(kNotFound, OnlyBox().text);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), Cells('R', 28, 5)}), Wire());
    EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));
    EXPECT_TRUE(PasswordBuffersWiped());
}

TEST_F(ShowLoginPasswordTest, KeyFallingSilentCostsOneTimeout) {
    Provisioned("secret", "hunter2");
    fakewin::ViewForm("secret");
    // Silent from the moment the typed password is taken: the login
    // password's first read times out, and nothing more is tried.
    Window().onEditRead = [](PasswordEdit) { inproc::Devices()[0].SetSilent(true); };
    ShowLoginPassword(kOwner);
    EXPECT_EQ(1, inproc::Count(WireEventKind::ReadTimeout));
    EXPECT_EQ(Join({{"S1"}, Cells('R', 40, 12), {"R28"}}), Wire());
    EXPECT_EQ(kNotFound, OnlyBox().text);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
}

}  // namespace
