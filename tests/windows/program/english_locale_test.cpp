// keyadmin.exe on a Windows whose language for non-Unicode programs is
// English: this executable runs under an English locale, so that Wine gives
// it, and the program it starts, code page 1252 (see CMakeLists.txt). Texts
// are read as the program holds them, in UTF-16, and compared with the
// expected code page 949 bytes decoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_ids.h"
#include "expected_texts.h"
#include "ignored_code_page.h"
#include "picture.h"
#include "program_driver.h"
#include "server_requests.h"
#include "window_texts.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Decoded(UINT codePage, const char* bytes) {
    wchar_t text[512] = {};
    MultiByteToWideChar(codePage, 0, bytes, -1, text, std::size(text));
    return text;
}

std::wstring Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

std::wstring BoxText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, std::size(text));
    return text;
}

std::wstring Caption(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, std::size(text));
    return text;
}

void SaveScreenshot(HWND window, const std::string& name) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    Sleep(300);  // until the screen shows what was painted
    picture::SaveScreenshot(picture::CaptureWindowFromScreen(window),
                            "program-english-locale-" + name);
}

class EnglishLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1252u, GetACP()) << "the test must run under an English locale";
        keyserver::Control("clear");
    }

    // Every run ends through the menu's exit, with exit code 0.
    void TearDown() override {
        if (!app.window || app.WaitForExit(0) >= 0) return;
        if (const HWND box = app.CurrentBox()) app.ReadAndClose(box);
        app.Post(kMenuExit);
        EXPECT_EQ(0, app.WaitForExit()) << "exit code after the menu's exit";
    }

    // Starts the copy whose code-page element no Windows reads: its notice,
    // or null (and a failure).
    HWND LaunchCopyToItsNotice() {
        copy = program::CopyIgnoringCodePage();
        if (copy.empty()) {
            ADD_FAILURE() << "keyadmin.exe carries no code-page element";
            return nullptr;
        }
        if (!app.Launch(copy.c_str())) {
            ADD_FAILURE() << "the copy did not start";
            return nullptr;
        }
        const HWND box = app.WaitForBox();
        if (!box) ADD_FAILURE() << "no notice";
        return box;
    }

    program::Program app;
    const program::Controls& c = app.controls;
    std::string copy;
};

// Wine, like Windows 11, grants the code page that the manifest asks for:
// the program's texts read right, and it has nothing to tell.
TEST_F(EnglishLocaleTest, TheProgramAsBuiltRunsInCodePage949AndShowsNoNotice) {
    ASSERT_TRUE(app.Start()) << "no window (a notice before it?)";
    EXPECT_EQ(nullptr, app.CurrentBox());
    ASSERT_TRUE(app.FindControls()) << "a control is missing or out of place";
    EXPECT_EQ(Decoded(949, expected::kNotFoundStatus), app.WideText(c.statusBox));
    EXPECT_EQ(Decoded(949, expected::kRefreshButton), app.WideText(c.refreshButton));
    SaveScreenshot(app.window, "window");
}

// Where the manifest's element is ignored, the notice comes first, alone,
// and says in both languages what is needed and where it is set.
const char16_t* const kNoticeSays[] = {
    u"유니코드를 지원하지 않는 프로그램용 언어가 한국어",
    u"설정 > 시간 및 언어 > 언어 및 지역 > 관리 언어 설정 > 시스템 로캘 변경",
    u"needs Korean as the language for non-Unicode programs",
    u"Settings > Time & language > Language & region > Administrative language settings > "
    u"Change system locale",
    u"Control Panel > Region > Administrative > Change system locale",
};

TEST_F(EnglishLocaleTest, WhereTheManifestIsIgnoredANoticeInKoreanAndEnglishComesOnceFirst) {
    const HWND box = LaunchCopyToItsNotice();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(0, program::WindowsOfClass("KeyAdminWClass")) << "the window came before the notice";
    const wintest::Box read = wintest::ReadBox(box);
    EXPECT_EQ(nullptr, read.owner);
    EXPECT_EQ(std::vector<int>{IDOK}, read.buttons);
    EXPECT_EQ(L"KeyAdmin", Caption(box));
    const std::wstring text = BoxText(box);
    for (const char16_t* says : kNoticeSays)
        EXPECT_NE(std::wstring::npos, text.find(Wide(says)))
            << "the notice lacks: " << testing::PrintToString(Wide(says));
    SaveScreenshot(box, "notice");

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(app.WaitForWindow()) << "no window after the notice";
    EXPECT_EQ(nullptr, app.CurrentBox()) << "a second notice";
    ASSERT_TRUE(app.FindControls()) << "a control is missing or out of place";
    // Then it starts as ever, its texts as code page 1252 reads them.
    EXPECT_EQ(Decoded(1252, expected::kNotFoundStatus), app.WideText(c.statusBox));
    SaveScreenshot(app.window, "window-after-notice");
}

// The notice comes after the single-instance check: a second start under
// the same code page ends at once, with nothing to close.
TEST_F(EnglishLocaleTest, ASecondStartEndsAtOnceWithoutANotice) {
    const HWND box = LaunchCopyToItsNotice();
    ASSERT_NE(nullptr, box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(app.WaitForWindow()) << "no window after the notice";

    program::Program second;
    ASSERT_TRUE(second.Launch(copy.c_str()));
    EXPECT_EQ(0, second.WaitForExit()) << "the second start did not end (a notice?)";
    EXPECT_EQ(1, program::WindowsOfClass("KeyAdminWClass"));
}

}  // namespace
