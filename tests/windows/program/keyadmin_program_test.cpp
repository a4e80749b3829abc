// The whole program: keyadmin.exe as built, started against the virtual-key
// server, examined and driven from this process. What only the whole
// program shows is here: the start-up refresh, the single instance, the
// message loop's dialog keyboard handling, a replugged key, the exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "case_names.h"
#include "command_ids.h"
#include "expected_texts.h"
#include "ignored_code_page.h"
#include "key_file_folder.h"
#include "painting_model.h"
#include "program_driver.h"
#include "server_requests.h"
#include "virtual_key_server.h"

namespace {

using keyserver::AddKey;
using keyserver::Cells;
using keyserver::Control;
using painting::Labels;

constexpr char kKey[] = "serial=0a00ff81 key-password=1234 login-id=quorvane.me login-password=pw";
constexpr std::array<std::uint8_t, 4> kSerial{0x0A, 0x00, 0xFF, 0x81};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { Control("clear"); }

    // Every run ends through the menu's exit, with exit code 0.
    void TearDown() override {
        if (!app.window || app.WaitForExit(0) >= 0) return;
        if (const HWND box = app.CurrentBox()) app.ReadAndClose(box);
        app.Post(kMenuExit);
        EXPECT_EQ(0, app.WaitForExit()) << "exit code after the menu's exit";
    }

    void Start() {
        ASSERT_TRUE(app.Start()) << "keyadmin.exe did not come up";
        ASSERT_TRUE(app.FindControls()) << "a control is missing or out of place";
    }

    // Posts the command and reads the one message box it brings.
    wintest::Box BoxOf(WORD command) {
        app.Post(command);
        const HWND box = app.WaitForBox();
        EXPECT_NE(nullptr, box) << "no message box after command " << command;
        if (!box) return {};
        EXPECT_EQ(app.window, GetWindow(box, GW_OWNER));
        return app.ReadAndClose(box);
    }

    // Waits until the client area shows what the lines and labels make.
    picture::Difference Painted(const std::string& serialLine, const std::string& loginLine,
                                Labels labels, const std::string& screenshot) {
        const HMODULE program = LoadLibraryExA("keyadmin.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        RECT client{};
        GetClientRect(app.window, &client);
        const picture::Picture expected = painting::Expected(
            client.right, client.bottom, program, painting::Calls(serialLine, loginLine, labels));
        FreeLibrary(program);
        picture::Difference difference;
        picture::Picture actual;
        for (int attempt = 0; attempt < 60; ++attempt) {  // until the screen has caught up
            UpdateWindow(app.window);
            actual = picture::CaptureClientFromScreen(app.window);
            difference = picture::Compare(actual, expected, painting::ChildAreas(app.window));
            if (difference.count == 0) break;
            Sleep(50);
        }
        picture::SaveScreenshot(picture::CaptureWindowFromScreen(app.window),
                                "program-" + screenshot);
        return difference;
    }

    program::Program app;
    const program::Controls& c = app.controls;
};

struct StartCase {
    const char* name;
    const char* key;
    const char* status;
    std::string serialLine, loginLine;
};

void PrintTo(const StartCase& start, std::ostream* out) {
    *out << start.name;
}

const StartCase kStartCases[] = {
    {"NoKey", nullptr, expected::kNotFoundStatus, painting::SerialLineNoKey(),
     painting::LoginLineNoKey()},
    {"FactoryInitialKey", "serial=0a00ff81", expected::kInitialStatus,
     painting::SerialLine(kSerial), painting::LoginLine("")},
    {"KeyWithPassword", kKey, expected::kAttachedStatus, painting::SerialLine(kSerial),
     painting::LoginLine("quorvane.me")},
};

class ProgramStartTest : public ProgramTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(ProgramStartTest, ShowsTheStatusAndIdentityItFoundCentredAt370By285) {
    const StartCase& start = GetParam();
    if (start.key) AddKey(start.key);
    Start();
    EXPECT_EQ("Quorvane Administrator - 81E1", app.Text(app.window));
    EXPECT_EQ(start.status, app.Text(c.statusBox));
    EXPECT_TRUE(IsWindowVisible(c.statusBox));
    EXPECT_TRUE(IsWindowVisible(c.refreshButton));
    for (HWND hidden : {c.currentPasswordEdit, c.newLoginPasswordEdit, c.newKeyPasswordEdit,
                        c.confirmPasswordEdit, c.okButton, c.changeButton, c.cancelButton})
        EXPECT_FALSE(IsWindowVisible(hidden));

    RECT rect = app.Rect();
    const POINT centred{(GetSystemMetrics(SM_CXSCREEN) - 370) / 2,
                        (GetSystemMetrics(SM_CYSCREEN) - 285) / 2};
    EXPECT_EQ(centred.x, rect.left);
    EXPECT_EQ(centred.y, rect.top);
    EXPECT_EQ(370, rect.right - rect.left);
    EXPECT_EQ(285, rect.bottom - rect.top);
    const picture::Difference difference = Painted(start.serialLine, start.loginLine, Labels::None,
                                                   std::string("start-") + start.name);
    EXPECT_EQ(0, difference.count) << "pixels differ:" << difference.firstFew;

    app.Send(kRefresh);
    rect = app.Rect();
    EXPECT_EQ(centred.x, rect.left);
    EXPECT_EQ(centred.y, rect.top);
    EXPECT_EQ(370, rect.right - rect.left);
    EXPECT_EQ(280, rect.bottom - rect.top);
}

INSTANTIATE_TEST_SUITE_P(Keys, ProgramStartTest, ::testing::ValuesIn(kStartCases), CaseName());

TEST_F(ProgramTest, ASecondStartEndsAtOnceWithZeroAndLeavesTheFirstAsItWas) {
    const std::string key = AddKey(kKey);
    Start();
    app.Send(kMenuChangeLogin);
    app.Type(c.currentPasswordEdit, "1234");
    app.Type(c.newLoginPasswordEdit, "typed");
    const int opens = keyserver::Opens(key);
    const HWND foreground = GetForegroundWindow();
    const RECT rect = app.Rect();

    program::Program second;
    ASSERT_TRUE(second.Launch());
    EXPECT_EQ(0, second.WaitForExit());
    EXPECT_EQ(1, program::WindowsOfClass("KeyAdminWClass"));
    EXPECT_EQ(opens, keyserver::Opens(key)) << "the second copy never opened the key";
    EXPECT_EQ(foreground, GetForegroundWindow());
    const RECT after = app.Rect();
    EXPECT_TRUE(EqualRect(&rect, &after));
    EXPECT_EQ("1234", app.Text(c.currentPasswordEdit));
    EXPECT_EQ("typed", app.Text(c.newLoginPasswordEdit));
    EXPECT_TRUE(IsWindowVisible(c.newLoginPasswordEdit));
    EXPECT_FALSE(IsWindowVisible(c.statusBox));
}

// In code page 949 the program has nothing to say of code pages, even where
// Windows ignores the manifest's element and gives it the system's code page.
TEST_F(ProgramTest, InCodePage949ItShowsNoNoticeEvenWhereTheManifestIsIgnored) {
    ASSERT_EQ(949u, GetACP()) << "the program tests run under the Korean locale";
    const std::string copy = program::CopyIgnoringCodePage();
    ASSERT_FALSE(copy.empty()) << "keyadmin.exe carries no code-page element";
    ASSERT_TRUE(app.Start(copy.c_str())) << "no window (a notice before it?)";
    EXPECT_EQ(nullptr, app.CurrentBox());
    ASSERT_TRUE(app.FindControls()) << "a control is missing or out of place";
    EXPECT_EQ(expected::kNotFoundStatus, app.Text(c.statusBox));
}

TEST_F(ProgramTest, TabVisitsTheShownEnabledFieldsAndEnterAndEscStartNothing) {
    AddKey(kKey);
    Start();
    const auto tabFrom = [&](HWND from, HWND to) {
        app.PostKey(from, VK_TAB);
        for (int i = 0; i < 200 && app.Focus() != to; ++i) Sleep(10);
        return app.Focus() == to;
    };
    app.Send(kMenuChangeKey);  // nothing typed: the focus is on the key password
    ASSERT_EQ(c.currentPasswordEdit, app.Focus());
    const HWND keyRound[] = {c.newKeyPasswordEdit, c.confirmPasswordEdit, c.changeButton,
                             c.cancelButton, c.currentPasswordEdit};
    HWND from = c.currentPasswordEdit;
    for (HWND to : keyRound) {
        EXPECT_TRUE(tabFrom(from, to)) << "focus on " << app.Focus();
        from = app.Focus();
    }

    app.Send(kMenuView);
    ASSERT_EQ(c.currentPasswordEdit, app.Focus());
    const HWND viewRound[] = {c.okButton, c.cancelButton, c.currentPasswordEdit};
    from = c.currentPasswordEdit;
    for (HWND to : viewRound) {
        EXPECT_TRUE(tabFrom(from, to)) << "focus on " << app.Focus();
        from = app.Focus();
    }

    // Enter and Esc in the field; the Tab after them shows they were handled.
    app.Type(c.currentPasswordEdit, "1234");
    app.PostKey(c.currentPasswordEdit, VK_RETURN);
    app.PostKey(c.currentPasswordEdit, VK_ESCAPE);
    EXPECT_TRUE(tabFrom(c.currentPasswordEdit, c.okButton));
    EXPECT_EQ(nullptr, app.CurrentBox());
    EXPECT_TRUE(IsWindowVisible(c.currentPasswordEdit));
    EXPECT_FALSE(IsWindowVisible(c.statusBox));
    EXPECT_EQ("1234", app.Text(c.currentPasswordEdit));
}

TEST_F(ProgramTest, ShowsTheLoginPasswordOnlyForTheRightKeyPassword) {
    AddKey(kKey);
    Start();
    app.Send(kMenuView);
    app.Type(c.currentPasswordEdit, "9999");
    wintest::Box box = BoxOf(kOk);
    EXPECT_EQ(expected::kWrongPassword, box.text);
    EXPECT_EQ(expected::kViewCaption, box.caption);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);

    app.Type(c.currentPasswordEdit, "1234");
    box = BoxOf(kOk);
    EXPECT_EQ(std::string(expected::kShownBefore) + "pw" + expected::kShownAfter, box.text);
    EXPECT_EQ(expected::kViewCaption, box.caption);
}

TEST_F(ProgramTest, ChangesTheLoginPasswordOnTheKey) {
    const std::string key = AddKey(kKey);
    Start();
    app.Send(kMenuChangeLogin);
    app.Type(c.currentPasswordEdit, "1234");
    app.Type(c.newLoginPasswordEdit, "secret");
    const wintest::Box box = BoxOf(kChange);
    EXPECT_EQ(expected::kLoginChanged, box.text);
    EXPECT_EQ(expected::kLoginCaption, box.caption);
    EXPECT_EQ(std::string("secret") + '\0', Cells(key).substr(28, 7));
    EXPECT_EQ("", app.Text(c.newLoginPasswordEdit));
    EXPECT_EQ("1234", app.Text(c.currentPasswordEdit));
}

TEST_F(ProgramTest, SetsTheFirstKeyPasswordWhichThenUnlocksTheKey) {
    const std::string key = AddKey("serial=0a00ff81");
    Start();
    app.Send(kMenuChangeKey);
    EXPECT_FALSE(IsWindowEnabled(c.currentPasswordEdit));
    EXPECT_EQ(c.newKeyPasswordEdit, app.Focus());
    app.Type(c.newKeyPasswordEdit, "abcd");
    app.Type(c.confirmPasswordEdit, "abcd");
    wintest::Box box = BoxOf(kChange);
    EXPECT_EQ(expected::kKeyChanged, box.text);
    EXPECT_EQ(expected::kKeyCaption, box.caption);
    EXPECT_EQ(std::string("abcd") + '\0', Cells(key).substr(40, 5));
    EXPECT_FALSE(IsWindowEnabled(c.currentPasswordEdit));

    app.Send(kMenuView);
    app.Type(c.currentPasswordEdit, "abcd");
    box = BoxOf(kOk);
    EXPECT_EQ(std::string(expected::kShownBefore) + expected::kShownAfter, box.text);
}

TEST_F(ProgramTest, FindsAKeyThatWasPulledAndPluggedBackIn) {
    const std::string key = AddKey(kKey);
    Start();
    Control("unplug " + key);
    app.Send(kRefresh);
    EXPECT_EQ(expected::kNotFoundStatus, app.Text(c.statusBox));
    picture::Difference difference =
        Painted(painting::SerialLineNoKey(), painting::LoginLineNoKey(), Labels::None, "pulled");
    EXPECT_EQ(0, difference.count) << "pixels differ:" << difference.firstFew;

    Control("replug " + key);
    app.Send(kRefresh);
    EXPECT_EQ(expected::kAttachedStatus, app.Text(c.statusBox));
    difference = Painted(painting::SerialLine(kSerial), painting::LoginLine("quorvane.me"),
                         Labels::None, "replugged");
    EXPECT_EQ(0, difference.count) << "pixels differ:" << difference.firstFew;
}

// The key pulled out during the writes of a new key password: the box says
// what happened and what to do. Plugged back in, the refresh button puts the
// old key password back and says so, and the old key password unlocks the
// key again.
TEST_F(ProgramTest, AnInterruptedKeyPasswordChangeIsPutBackByTheRefresh) {
    const std::string key = AddKey(kKey);
    Start();
    app.Send(kMenuChangeKey);
    app.Type(c.currentPasswordEdit, "1234");
    app.Type(c.newKeyPasswordEdit, "abcdefgh");
    app.Type(c.confirmPasswordEdit, "abcdefgh");
    Control("unplug-after " + key + " 18");  // presence, twelve reads, five writes
    wintest::Box box = BoxOf(kChange);
    EXPECT_EQ(expected::kKeyChangeInterrupted, box.text);
    EXPECT_EQ(expected::kKeyCaption, box.caption);
    EXPECT_EQ(std::string("abcde") + '\0', Cells(key).substr(40, 6)) << "neither password unlocks";

    Control("replug " + key);
    box = BoxOf(kRefresh);
    EXPECT_EQ(expected::kRepairOldBack, box.text);
    EXPECT_EQ(expected::kKeyCaption, box.caption);
    EXPECT_EQ(std::string("1234") + '\0', Cells(key).substr(40, 5));
    EXPECT_EQ(expected::kAttachedStatus, app.Text(c.statusBox));

    app.Send(kMenuView);
    app.Type(c.currentPasswordEdit, "1234");
    box = BoxOf(kOk);
    EXPECT_EQ(std::string(expected::kShownBefore) + "pw" + expected::kShownAfter, box.text);

    app.Send(kRefresh);  // settled: no box again
    EXPECT_EQ(nullptr, app.CurrentBox());
}

TEST_F(ProgramTest, ClosingTheWindowEndsTheProgramWithZero) {
    Start();
    PostMessageA(app.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0, app.WaitForExit());
}

}  // namespace

// A key whose memory lives in a file, as the run command keeps it: a first
// key password set through the window is in the file, and the key made from
// that file the next time is a key in use that the new password unlocks; a
// change the server cannot save ends as a change the key refused.
class KeyFileProgramTest : public ProgramTest {
protected:
    void TearDown() override {
        ProgramTest::TearDown();
        Control("clear");  // lets go of the file's lock
    }

    std::string FileText() const {
        std::string text;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            char chunk[256];
            for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
                text.append(chunk, got);
            std::fclose(file);
        }
        return text;
    }

    KeyFileFolder keyFolder{"keyadmin-key"};
    const std::string& path = keyFolder.path;
};

TEST_F(KeyFileProgramTest, AFirstKeyPasswordSetThroughTheWindowIsThereNextTime) {
    const std::string first = AddKey("serial=0a00ff81 file=" + path + " new");
    EXPECT_NE(std::string::npos, FileText().find("0d00000000"));
    Start();
    app.Send(kMenuChangeKey);
    app.Type(c.newKeyPasswordEdit, "abcd");
    app.Type(c.confirmPasswordEdit, "abcd");
    EXPECT_EQ(expected::kKeyChanged, BoxOf(kChange).text);
    app.Post(kMenuExit);
    ASSERT_EQ(0, app.WaitForExit());
    Control("remove " + first);

    const std::string next = AddKey("file=" + path);
    EXPECT_EQ(std::string("abcd") + '\0', Cells(next).substr(40, 5));
    program::Program again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.FindControls());
    EXPECT_EQ(expected::kAttachedStatus, again.Text(again.controls.statusBox));
    again.Send(kMenuView);
    again.Type(again.controls.currentPasswordEdit, "abcd");
    again.Post(kOk);
    const HWND box = again.WaitForBox();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(std::string(expected::kShownBefore) + expected::kShownAfter,
              again.ReadAndClose(box).text);
    again.Post(kMenuExit);
    EXPECT_EQ(0, again.WaitForExit());
}

TEST_F(KeyFileProgramTest, AFileThatIsNoKeysMemoryIsRefusedAndLeftAlone) {
    Control("remove " + AddKey("serial=0a00ff81 file=" + path + " new"));
    const std::string whole = FileText();
    const struct {
        const char* name;
        std::string text;
        const char* says;
    } cases[] = {
        {"cut short", whole.substr(0, whole.size() - 5), "truncated"},
        {"damaged", whole.substr(0, 60) + "ff" + whole.substr(62), "damaged"},
        {"foreign", "[wine]\nsomething else\n", "not a KeyAdmin virtual key file"},
    };
    for (const auto& c : cases) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::fwrite(c.text.data(), 1, c.text.size(), file);
        std::fclose(file);
        const std::string reply = server::Request("add-key file=" + path);
        EXPECT_EQ(0u, reply.rfind("error", 0)) << c.name << ": " << reply;
        EXPECT_NE(std::string::npos, reply.find(path)) << c.name << ": " << reply;
        EXPECT_NE(std::string::npos, reply.find(c.says)) << c.name << ": " << reply;
        EXPECT_EQ(c.text, FileText()) << c.name << ": the file is left as it was";
    }
}

// The key's folder is gone, so the server cannot save the new key password:
// the key refuses its first cell, the window says the change failed, and
// the old key password is still the key's and the file's. With the folder
// back, the same change goes through.
TEST_F(KeyFileProgramTest, AChangeTheServerCannotSaveEndsAsARefusedChange) {
    const std::string key = AddKey(std::string(kKey) + " file=" + path + " new");
    const std::string before = FileText();
    Start();
    ASSERT_TRUE(keyFolder.MoveAway()) << GetLastError();
    app.Send(kMenuChangeKey);
    app.Type(c.currentPasswordEdit, "1234");
    app.Type(c.newKeyPasswordEdit, "abcd");
    app.Type(c.confirmPasswordEdit, "abcd");
    const wintest::Box box = BoxOf(kChange);
    EXPECT_EQ(expected::kChangeFailed, box.text);
    EXPECT_EQ(expected::kKeyCaption, box.caption);
    EXPECT_EQ(std::string("1234") + '\0', Cells(key).substr(40, 5));
    EXPECT_NE(std::string::npos, server::Log().find("cannot write the virtual key file " + path));

    ASSERT_TRUE(keyFolder.MoveBack()) << GetLastError();
    EXPECT_EQ(before, FileText()) << "the file holds the old memory";
    app.Type(c.newKeyPasswordEdit, "abcd");
    app.Type(c.confirmPasswordEdit, "abcd");
    EXPECT_EQ(expected::kKeyChanged, BoxOf(kChange).text);
    EXPECT_EQ(std::string("abcd") + '\0', Cells(key).substr(40, 5));
    EXPECT_NE(before, FileText());
}
