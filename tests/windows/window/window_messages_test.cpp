// The operations reached through the window: every message box of the three
// operations with its text, caption, icon and single OK button, what the key
// holds afterwards, the key status and the menu.
#include <cstring>

#include "case_names.h"
#include "expected_texts.h"
#include "window_fixture.h"

namespace wintest {
namespace {

constexpr char kKey[] = "serial=0a0b0c0d key-password=1234 login-id=me login-password=pw";
constexpr char kInitialKey[] = "serial=01020304";

struct BoxCase {
    const char* name;
    const char* key;
    WORD mode;  // the form the user picks
    const char* current;
    const char* newPassword;  // into the form's new-password edit
    const char* confirm;
    const char* fault;  // a server request before the button ("{id}" is the key), or null
    WORD button;
    const char* text;  // null: the login password box with "pw"
    const char* caption;
    Icon icon;
    KeyStatus status;  // afterwards
    int field = 0;     // the cell field that must hold `written` afterwards, or 0
    const char* written = nullptr;
};

const std::string kShownPw = std::string(expected::kShownBefore) + "pw" + expected::kShownAfter;

const BoxCase kBoxCases[] = {
    {"ViewWrongKeyPassword", kKey, kMenuView, "9999", "", "", nullptr, kOk,
     expected::kWrongPassword, expected::kViewCaption, Icon::Warning, KeyStatus::Connected},
    {"ViewLoginPasswordShown", kKey, kMenuView, "1234", "", "", nullptr, kOk, kShownPw.c_str(),
     expected::kViewCaption, Icon::Information, KeyStatus::Connected},
    {"ViewKeyPulled", kKey, kMenuView, "1234", "", "", "unplug {id}", kOk, expected::kNotFound,
     expected::kViewCaption, Icon::Warning, KeyStatus::NotFound},
    {"LoginChanged", kKey, kMenuChangeLogin, "1234", "newpw", "", nullptr, kChange,
     expected::kLoginChanged, expected::kLoginCaption, Icon::Information, KeyStatus::Connected, 28,
     "newpw"},
    {"LoginChangedToItsFirstElevenBytes", kKey, kMenuChangeLogin, "1234", "abcdefghijklmn", "",
     nullptr, kChange, expected::kLoginChanged, expected::kLoginCaption, Icon::Information,
     KeyStatus::Connected, 28, "abcdefghijk"},
    {"LoginChangedToHangulCutToWholeCharacters", kKey, kMenuChangeLogin, "1234",
     expected::kGaNaDaRaMaBa, "", nullptr, kChange, expected::kLoginChanged,
     expected::kLoginCaption, Icon::Information, KeyStatus::Connected, 28, expected::kGaNaDaRaMa},
    {"LoginChangeWrongKeyPassword", kKey, kMenuChangeLogin, "9999", "newpw", "", nullptr, kChange,
     expected::kWrongPassword, expected::kKeyCaption, Icon::Warning, KeyStatus::Connected, 28,
     "pw"},
    {"LoginChangeKeyPulledBefore", kKey, kMenuChangeLogin, "1234", "newpw", "", "unplug {id}",
     kChange, expected::kNotFound, expected::kKeyCaption, Icon::Warning, KeyStatus::NotFound, 28,
     "pw"},
    {"LoginChangeKeyPulledDuring", kKey, kMenuChangeLogin, "1234", "newpw", "",
     "unplug-after {id} 18", kChange, expected::kLoginChangeFailed, expected::kLoginCaption,
     Icon::Warning, KeyStatus::NotFound},
    {"LoginChangeWriteRefused", kKey, kMenuChangeLogin, "1234", "newpw", "",
     "refuse-writes {id} on", kChange, expected::kLoginChangeFailed, expected::kLoginCaption,
     Icon::Warning, KeyStatus::Connected, 28, "pw"},
    {"KeyPasswordChanged", kKey, kMenuChangeKey, "1234", "5678", "5678", nullptr, kChange,
     expected::kKeyChanged, expected::kKeyCaption, Icon::Information, KeyStatus::Connected, 40,
     "5678"},
    {"KeyPasswordConfirmationDiffers", kKey, kMenuChangeKey, "1234", "5678", "5679", nullptr,
     kChange, expected::kMismatch, expected::kKeyCaption, Icon::Warning, KeyStatus::Connected, 40,
     "1234"},
    {"KeyPasswordChangeWrongKeyPassword", kKey, kMenuChangeKey, "9999", "5678", "5678", nullptr,
     kChange, expected::kWrongPassword, expected::kKeyCaption, Icon::Warning, KeyStatus::Connected,
     40, "1234"},
    {"KeyPasswordChangeKeyPulledBefore", kKey, kMenuChangeKey, "1234", "5678", "5678",
     "unplug {id}", kChange, expected::kNotFound, expected::kKeyCaption, Icon::Warning,
     KeyStatus::NotFound, 40, "1234"},
    {"KeyPasswordChangeKeyPulledDuring", kKey, kMenuChangeKey, "1234", "5678", "5678",
     "unplug-after {id} 18", kChange, expected::kKeyChangeInterrupted, expected::kKeyCaption,
     Icon::Warning, KeyStatus::NotFound},
    {"KeyPasswordChangeKeyPulledAfterTheWrites", kKey, kMenuChangeKey, "1234", "5678", "5678",
     "unplug-after {id} 25", kChange, expected::kKeyChangedKeySilent, expected::kKeyCaption,
     Icon::Warning, KeyStatus::NotFound, 40, "5678"},
    {"KeyPasswordChangeWriteRefused", kKey, kMenuChangeKey, "1234", "5678", "5678",
     "refuse-writes {id} on", kChange, expected::kChangeFailed, expected::kKeyCaption,
     Icon::Warning, KeyStatus::Connected, 40, "1234"},
    {"FirstKeyPasswordSet", kInitialKey, kMenuChangeKey, "", "abcd", "abcd", nullptr, kChange,
     expected::kKeyChanged, expected::kKeyCaption, Icon::Information, KeyStatus::Connected, 40,
     "abcd"},
};

void PrintTo(const BoxCase& box, std::ostream* out) {
    *out << box.name;
}

class MessageBoxTest : public AdminWindowTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsItsOneBoxAndLeavesTheKeyAsItShould) {
    const BoxCase& c = GetParam();
    const std::string key = AddKey(c.key);
    Open();
    Command(c.mode);
    Type(w.currentPasswordEdit, c.current);
    Type(c.mode == kMenuChangeLogin ? w.newLoginPasswordEdit : w.newKeyPasswordEdit, c.newPassword);
    Type(w.confirmPasswordEdit, c.confirm);
    const bool firstKeyPassword = keyIdentity.status == KeyStatus::Initial;
    const auto menu = PasswordItemsGreyed();
    if (c.fault) {
        std::string request = c.fault;
        request.replace(request.find("{id}"), 4, key);
        Control(request);
    }

    Click(c.button == kOk ? w.okButton : w.changeButton);

    ASSERT_EQ(1u, Boxes().size());
    const Box& box = Boxes()[0];
    EXPECT_EQ(c.text, box.text);
    EXPECT_EQ(c.caption, box.caption);
    EXPECT_EQ(c.icon, box.icon);
    EXPECT_EQ(window, box.owner);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_EQ(c.status, keyIdentity.status);
    if (c.field) {
        Control("replug " + key);
        const std::string cells = Cells(key);
        ASSERT_EQ(59u, cells.size());
        EXPECT_EQ(std::string(c.written) + '\0', cells.substr(c.field, std::strlen(c.written) + 1));
    }
    // Only the first key password changes the menu: then all is allowed.
    const std::array<bool, 3> enabled{false, false, false};
    EXPECT_EQ(firstKeyPassword ? enabled : menu, PasswordItemsGreyed());
    EXPECT_EQ(c.current, Text(w.currentPasswordEdit)) << "never emptied by an operation";
}

INSTANTIATE_TEST_SUITE_P(Operations, MessageBoxTest, ::testing::ValuesIn(kBoxCases), CaseName());

using OperationTest = MessageBoxTest;

TEST_F(OperationTest, AChangeEmptiesTheNewPasswordAndConfirmationOnlyWhenItSucceeds) {
    AddKey(kKey);
    Open();
    Command(kMenuChangeKey);
    Type(w.currentPasswordEdit, "1234");
    Type(w.newKeyPasswordEdit, "5678");
    Type(w.confirmPasswordEdit, "5679");
    Click(w.changeButton);
    EXPECT_EQ("5678", Text(w.newKeyPasswordEdit));
    EXPECT_EQ("5679", Text(w.confirmPasswordEdit));
    Type(w.confirmPasswordEdit, "5678");
    Click(w.changeButton);
    EXPECT_EQ("", Text(w.newKeyPasswordEdit));
    EXPECT_EQ("", Text(w.confirmPasswordEdit));
    EXPECT_EQ("1234", Text(w.currentPasswordEdit));
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(expected::kKeyChanged, Boxes()[1].text);
}

TEST_F(OperationTest, AfterTheFirstKeyPasswordTheFormStaysAndTheKeyPasswordFieldWaitsForTheMenu) {
    AddKey(kInitialKey);
    Open();
    Command(kMenuChangeKey);
    Type(w.newKeyPasswordEdit, "abcd");
    Type(w.confirmPasswordEdit, "abcd");
    Click(w.changeButton);
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_FALSE(Greyed(kMenuView));
    EXPECT_FALSE(Greyed(kMenuChangeLogin));
    EXPECT_FALSE(IsWindowEnabled(w.currentPasswordEdit));
    EXPECT_TRUE(IsWindowVisible(w.newKeyPasswordEdit));
    EXPECT_TRUE(IsWindowVisible(w.confirmPasswordEdit));
    EXPECT_EQ("", Text(w.newKeyPasswordEdit));
    Command(kMenuChangeKey);
    EXPECT_TRUE(IsWindowEnabled(w.currentPasswordEdit));

    Command(kMenuView);  // the new key password now unlocks the key
    Type(w.currentPasswordEdit, "abcd");
    Click(w.okButton);
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(std::string(expected::kShownBefore) + expected::kShownAfter, Boxes()[1].text);
}

TEST_F(OperationTest, AKeyThatFallsSilentCostsOneExchangeThenIsNotFound) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuView);
    Type(w.currentPasswordEdit, "1234");
    Control("silent " + key + " on");
    const int reports = Reports(key);
    Click(w.okButton);
    EXPECT_EQ(reports + 1, Reports(key)) << "one presence test, timed out, and nothing more";
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(expected::kNotFound, Boxes()[0].text);
    EXPECT_EQ(expected::kViewCaption, Boxes()[0].caption);
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_FALSE(Greyed(kMenuView)) << "the menu waits for the next refresh";
}

// Pulled during the writes of a new key password and plugged back in: the
// refresh button puts the old key password back, in a box of the window's,
// and sets the menu from the key it repaired. Closing the window forgets a
// repair still pending.
TEST_F(OperationTest, TheRefreshButtonPutsBackAnInterruptedKeyPassword) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuChangeKey);
    Type(w.currentPasswordEdit, "1234");
    Type(w.newKeyPasswordEdit, "abcdefgh");
    Type(w.confirmPasswordEdit, "abcdefgh");
    Control("unplug-after " + key + " 18");
    Click(w.changeButton);
    EXPECT_EQ(std::string("abcde") + '\0', Cells(key).substr(40, 6));
    Control("replug " + key);
    Click(w.refreshButton);
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(expected::kKeyChangeInterrupted, Boxes()[0].text);
    EXPECT_EQ(expected::kRepairOldBack, Boxes()[1].text);
    EXPECT_EQ(expected::kKeyCaption, Boxes()[1].caption);
    EXPECT_EQ(Icon::Information, Boxes()[1].icon);
    EXPECT_EQ(window, Boxes()[1].owner);
    EXPECT_EQ(std::string("1234") + '\0', Cells(key).substr(40, 5));
    EXPECT_EQ(expected::kAttachedStatus, Text(w.statusBox));
    EXPECT_FALSE(Greyed(kMenuView));
    EXPECT_FALSE(KeyPasswordRepairPending());

    Command(kMenuChangeKey);
    Type(w.newKeyPasswordEdit, "abcdefgh");
    Type(w.confirmPasswordEdit, "abcdefgh");
    Control("unplug-after " + key + " 18");
    Click(w.changeButton);
    ASSERT_TRUE(KeyPasswordRepairPending());
    DestroyWindow(window);
    EXPECT_FALSE(KeyPasswordRepairPending());
}

TEST_F(OperationTest, AReplugWithoutARefreshIsFoundByTheNextOperation) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuView);
    Type(w.currentPasswordEdit, "1234");
    Control("unplug " + key);
    Click(w.okButton);
    Control("replug " + key);
    Click(w.okButton);
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(expected::kNotFound, Boxes()[0].text);
    EXPECT_EQ(kShownPw, Boxes()[1].text);
}

}  // namespace
}  // namespace wintest
