// The panel modes: what each menu command and button leaves shown, enabled
// and written in every control, where the focus goes, and what they leave
// alone (the menu, the key, the window's size).
#include <cstring>
#include <vector>

#include "case_names.h"
#include "expected_texts.h"
#include "window_fixture.h"

namespace wintest {
namespace {

constexpr char kKey[] = "serial=0a0b0c0d key-password=1234 login-id=me login-password=pw";

// Texts typed into the four edits before the event.
constexpr const char* kTyped[] = {"1234", "new-login", "new-key", "confirm"};

// One control after the event, three letters: S shown or H hidden; E enabled
// or D disabled; k text kept, 0 emptied, - not looked at.
using Expect = const char*;

struct ModeCase {
    const char* name;
    const char* key;
    std::vector<WORD> before;  // commands run before the edits are typed into
    bool typeCurrent;          // whether a key password is typed before the event
    WORD event;
    Expect controls[9];  // in the order of kNamedControls
    const char* focus;   // a control's name, or null: not moved onto a hidden control
    PanelMode mode;
};

const ModeCase kModeCases[] = {
    {"View",
     kKey,
     {},
     true,
     kMenuView,
     {"HE-", "SEk", "HE0", "SD0", "SD0", "SE-", "SE-", "SD-", "SE-"},
     "currentPasswordEdit",
     PanelMode::ViewLoginPassword},
    {"ChangeLoginTyped",
     kKey,
     {},
     true,
     kMenuChangeLogin,
     {"HE-", "SEk", "SE0", "HE0", "SD0", "SE-", "SD-", "SE-", "SE-"},
     "newLoginPasswordEdit",
     PanelMode::ChangeLoginPassword},
    {"ChangeLoginNotTyped",
     kKey,
     {},
     false,
     kMenuChangeLogin,
     {"HE-", "SEk", "SE0", "HE0", "SD0", "SE-", "SD-", "SE-", "SE-"},
     "currentPasswordEdit",
     PanelMode::ChangeLoginPassword},
    {"ChangeKeyTyped",
     kKey,
     {},
     true,
     kMenuChangeKey,
     {"HE-", "SEk", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "newKeyPasswordEdit",
     PanelMode::ChangeKeyPassword},
    {"ChangeKeyNotTyped",
     kKey,
     {},
     false,
     kMenuChangeKey,
     {"HE-", "SEk", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "currentPasswordEdit",
     PanelMode::ChangeKeyPassword},
    {"ChangeKeyFactoryInitial",
     "serial=01020304",
     {},
     true,
     kMenuChangeKey,
     {"HE-", "SD0", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "newKeyPasswordEdit",
     PanelMode::ChangeKeyPassword},
    {"ChangeKeyFactoryInitialNotTyped",
     "serial=01020304",
     {},
     false,
     kMenuChangeKey,
     {"HE-", "SD0", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "newKeyPasswordEdit",
     PanelMode::ChangeKeyPassword},
    // From one form straight to another.
    {"ViewToChangeKey",
     kKey,
     {kMenuView},
     true,
     kMenuChangeKey,
     {"HE-", "SEk", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "newKeyPasswordEdit",
     PanelMode::ChangeKeyPassword},
    {"ChangeKeyToView",
     kKey,
     {kMenuChangeKey},
     true,
     kMenuView,
     {"HE-", "SEk", "HE0", "SD0", "SD0", "SE-", "SE-", "SD-", "SE-"},
     "currentPasswordEdit",
     PanelMode::ViewLoginPassword},
    {"ChangeLoginToChangeKey",
     kKey,
     {kMenuChangeLogin},
     false,
     kMenuChangeKey,
     {"HE-", "SEk", "HE0", "SE0", "SE0", "SE-", "SD-", "SE-", "SE-"},
     "currentPasswordEdit",
     PanelMode::ChangeKeyPassword},
    // Back to the status box: enabled states stay as the form left them.
    {"RefreshFromChangeKey",
     kKey,
     {kMenuChangeKey},
     true,
     kRefresh,
     {"SE-", "HEk", "HEk", "HEk", "HEk", "SE-", "HD-", "HE-", "HE-"},
     nullptr,
     PanelMode::ChangeKeyPassword},
    {"CancelFromChangeKey",
     kKey,
     {kMenuChangeKey},
     true,
     kCancel,
     {"SE-", "HE0", "HE0", "HE0", "HE0", "SE-", "HD-", "HE-", "HE-"},
     nullptr,
     PanelMode::ChangeKeyPassword},
    {"RefreshFromView",
     kKey,
     {kMenuView},
     true,
     kRefresh,
     {"SE-", "HEk", "HEk", "HDk", "HDk", "SE-", "HE-", "HD-", "HE-"},
     nullptr,
     PanelMode::ViewLoginPassword},
    {"CancelFromView",
     kKey,
     {kMenuView},
     true,
     kCancel,
     {"SE-", "HE0", "HE0", "HD0", "HD0", "SE-", "HE-", "HD-", "HE-"},
     nullptr,
     PanelMode::ViewLoginPassword},
};

void PrintTo(const ModeCase& mode, std::ostream* out) {
    *out << mode.name;
}

// The heights the window was given while `run` ran.
std::vector<int> sizes;
LRESULT CALLBACK RecordSize(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_WINDOWPOSCHANGED &&
        !(reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_NOSIZE) &&
        !GetParent(sent->hwnd))
        sizes.push_back(reinterpret_cast<const WINDOWPOS*>(sent->lParam)->cy);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class PanelModeTest : public AdminWindowTest, public ::testing::WithParamInterface<ModeCase> {
protected:
    std::vector<int> Heights(WORD command) {
        sizes.clear();
        const HHOOK hook =
            SetWindowsHookExA(WH_CALLWNDPROC, RecordSize, nullptr, GetCurrentThreadId());
        Command(command);
        UnhookWindowsHookEx(hook);
        return sizes;
    }

    const char* FocusName() const {
        for (const NamedControl& control : kNamedControls)
            if (w.*control.handle == GetFocus()) return control.name;
        return GetFocus() == window ? "window" : "elsewhere";
    }
};

TEST_P(PanelModeTest, LeavesEachControlAsTabled) {
    const ModeCase& c = GetParam();
    AddKey(c.key);
    Open();
    for (WORD command : c.before) Command(command);
    const HWND edits[] = {w.currentPasswordEdit, w.newLoginPasswordEdit, w.newKeyPasswordEdit,
                          w.confirmPasswordEdit};
    for (int i = 0; i < 4; ++i) Type(edits[i], i == 0 && !c.typeCurrent ? "" : kTyped[i]);
    const auto menu = PasswordItemsGreyed();

    const std::vector<int> heights = Heights(c.event);

    for (std::size_t i = 0; i < kNamedControls.size(); ++i) {
        const HWND control = w.*kNamedControls[i].handle;
        const std::string expect = c.controls[i];
        SCOPED_TRACE(std::string(kNamedControls[i].name) + " " + expect);
        EXPECT_EQ(expect[0] == 'S', IsWindowVisible(control) != FALSE);
        EXPECT_EQ(expect[1] == 'E', IsWindowEnabled(control) != FALSE);
        if (i >= 1 && i <= 4 && expect[2] != '-') {
            const std::string typed = i == 1 && !c.typeCurrent ? "" : kTyped[i - 1];
            EXPECT_EQ(expect[2] == 'k' ? typed : "", Text(control));
        }
    }
    if (c.focus) {
        EXPECT_STREQ(c.focus, FocusName());
    } else {
        const HWND focus = GetFocus();
        EXPECT_TRUE(!focus || focus == window || IsWindowVisible(focus)) << FocusName();
    }
    EXPECT_EQ(c.mode, windowState.panelMode);
    // Every command but cancel repaints by resizing; none changes the menu
    // here (the refresh finds the same key).
    const std::vector<int> nudged{281, 280};
    EXPECT_EQ(c.event == kCancel ? std::vector<int>{} : nudged, heights);
    EXPECT_EQ(menu, PasswordItemsGreyed());
}

INSTANTIATE_TEST_SUITE_P(Events, PanelModeTest, ::testing::ValuesIn(kModeCases), CaseName());

using PanelTest = PanelModeTest;

TEST_F(PanelTest, AtStartOnlyTheStatusBoxAndRefreshShowAndEveryEditIsEmptyAndEnabled) {
    AddKey(kKey);
    Open();
    EXPECT_EQ(PanelMode::StatusView, windowState.panelMode);
    for (const NamedControl& control : kNamedControls) {
        SCOPED_TRACE(control.name);
        const HWND handle = w.*control.handle;
        const bool shown = handle == w.statusBox || handle == w.refreshButton;
        EXPECT_EQ(shown, IsWindowVisible(handle) != FALSE);
        EXPECT_TRUE(IsWindowEnabled(handle));
    }
    for (HWND edit : {w.currentPasswordEdit, w.newLoginPasswordEdit, w.newKeyPasswordEdit,
                      w.confirmPasswordEdit})
        EXPECT_EQ("", Text(edit));
}

TEST_F(PanelTest, AKeyPasswordTypedToViewIsKeptForTheLoginChangeAndTheFocusSkipsIt) {
    AddKey(kKey);
    Open();
    Command(kMenuView);
    Type(w.currentPasswordEdit, "1234");
    Command(kMenuChangeLogin);
    EXPECT_EQ("1234", Text(w.currentPasswordEdit));
    EXPECT_EQ(w.newLoginPasswordEdit, GetFocus());
}

TEST_F(PanelTest, ChoosingTheFocusLeavesNoTypedPasswordInMemory) {
    AddKey(kKey);
    Open();
    for (WORD mode : {kMenuChangeLogin, kMenuChangeKey}) {
        Type(w.currentPasswordEdit, "secret");
        Command(mode);
        EXPECT_NE(w.currentPasswordEdit, GetFocus()) << "the text was read";
        const TextField& typed = passwordBuffers.typedCurrentPassword;
        EXPECT_TRUE(std::all_of(typed.begin(), typed.end(), [](char c) { return c == 0; }))
            << "after command " << mode;
    }
}

TEST_F(PanelTest, AfterARefreshAModeEmptiesTheNewFieldsButShowsTheKeyPasswordAgain) {
    AddKey(kKey);
    Open();
    Command(kMenuChangeKey);
    Type(w.currentPasswordEdit, "1234");
    Type(w.newKeyPasswordEdit, "5678");
    Type(w.confirmPasswordEdit, "5678");
    Command(kRefresh);
    EXPECT_EQ("5678", Text(w.newKeyPasswordEdit));
    Command(kMenuChangeLogin);
    EXPECT_EQ("1234", Text(w.currentPasswordEdit));
    EXPECT_EQ("", Text(w.newKeyPasswordEdit));
    EXPECT_EQ("", Text(w.confirmPasswordEdit));
}

TEST_F(PanelTest, CancelNeitherAsksTheKeyNorChangesTheMenuOrTheStatus) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuView);
    Control("unplug " + key);  // a refresh would now grey the menu
    const int reports = Reports(key);
    Command(kCancel);
    EXPECT_EQ(reports, Reports(key));
    EXPECT_FALSE(Greyed(kMenuView));
    EXPECT_EQ(expected::kAttachedStatus, Text(w.statusBox));
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
}

TEST_F(PanelTest, RefreshAsksTheKeyAgainAndSetsTheMenuFromWhatItFinds) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuChangeKey);
    Control("unplug " + key);
    Command(kRefresh);
    EXPECT_EQ(expected::kNotFoundStatus, Text(w.statusBox));
    EXPECT_TRUE(Greyed(kMenuView));
    EXPECT_TRUE(Greyed(kMenuChangeLogin));
    EXPECT_TRUE(Greyed(kMenuChangeKey));
    Control("replug " + key);
    Command(kRefresh);
    EXPECT_EQ(expected::kAttachedStatus, Text(w.statusBox));
    EXPECT_FALSE(Greyed(kMenuChangeKey));
}

TEST_F(PanelTest, OnlyAFactoryInitialKeyDisablesTheKeyPasswordField) {
    const std::string key = AddKey(kKey);
    Open();
    Control("unplug " + key);
    Command(kMenuView);
    Type(w.currentPasswordEdit, "1234");
    Click(w.okButton);  // finds no key: NotFound, the menu as it was
    ASSERT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_FALSE(Greyed(kMenuChangeKey));
    Command(kMenuChangeKey);
    EXPECT_TRUE(IsWindowEnabled(w.currentPasswordEdit));
    EXPECT_EQ("1234", Text(w.currentPasswordEdit));
}

TEST_F(PanelTest, OtherCommandsDoNothing) {
    const std::string key = AddKey(kKey);
    Open();
    Command(kMenuChangeKey);
    Type(w.currentPasswordEdit, "1234");
    Type(w.newKeyPasswordEdit, "5678");
    const int reports = Reports(key);
    // 0 from the edits' notifications, 1 and 2 from Enter and Esc.
    for (WORD id : {0, 1, 2, 100, 105, 40000, 40003, 40004, 40007}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(Heights(id).empty());
        EXPECT_EQ(PanelMode::ChangeKeyPassword, windowState.panelMode);
        EXPECT_FALSE(IsWindowVisible(w.statusBox));
        EXPECT_EQ("1234", Text(w.currentPasswordEdit));
        EXPECT_EQ("5678", Text(w.newKeyPasswordEdit));
    }
    EXPECT_EQ(reports, Reports(key));
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace wintest
