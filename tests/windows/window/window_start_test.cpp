// The window at start: the refresh it runs, its menu, size and place, its
// class, its controls and fonts, the resources, and how it ends.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "case_names.h"
#include "expected_texts.h"
#include "window_fixture.h"
#include "window_texts.h"

namespace wintest {
namespace {

struct StartCase {
    const char* name;
    const char* key;  // options of the key attached at start, or null for none
    const char* status;
    bool viewGreyed, changeLoginGreyed, changeKeyGreyed;
};

const StartCase kStartCases[] = {
    {"NoKey", nullptr, expected::kNotFoundStatus, true, true, true},
    {"FactoryInitialKey", "serial=0a0b0c0d", expected::kInitialStatus, true, true, false},
    {"KeyWithPassword", "serial=0a0b0c0d key-password=1234 login-id=me", expected::kAttachedStatus,
     false, false, false},
};

void PrintTo(const StartCase& start, std::ostream* out) {
    *out << start.name;
}

class WindowStartTest : public AdminWindowTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(WindowStartTest, ShowsTheKeysStatusGreysTheMenuAndIsCentred) {
    const StartCase& start = GetParam();
    if (start.key) AddKey(start.key);
    Open();
    EXPECT_EQ(start.status, Text(w.statusBox));
    EXPECT_EQ(start.viewGreyed, Greyed(kMenuView));
    EXPECT_EQ(start.changeLoginGreyed, Greyed(kMenuChangeLogin));
    EXPECT_EQ(start.changeKeyGreyed, Greyed(kMenuChangeKey));
    EXPECT_FALSE(Greyed(kMenuExit));

    const int left = (GetSystemMetrics(SM_CXSCREEN) - 370) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - 285) / 2;
    RECT rect = Rect();
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(370, rect.right - rect.left);
    EXPECT_EQ(285, rect.bottom - rect.top);

    Command(kRefresh);  // the first repaint by resizing
    rect = Rect();
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(370, rect.right - rect.left);
    EXPECT_EQ(280, rect.bottom - rect.top);
    EXPECT_EQ(start.status, Text(w.statusBox));
}

INSTANTIATE_TEST_SUITE_P(Keys, WindowStartTest, ::testing::ValuesIn(kStartCases), CaseName());

using WindowTest = AdminWindowTest;

TEST_F(WindowTest, ClassTitleAndStyle) {
    Open();
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ("KeyAdminWClass", name);
    EXPECT_EQ(window, FindWindowA("KeyAdminWClass", nullptr));
    EXPECT_EQ("Quorvane Administrator - 81E1", Text(window));
    EXPECT_EQ(0x96CA0000u, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)));
    // The platform adds the edge a caption brings; nothing else.
    EXPECT_EQ(0u, static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & ~WS_EX_WINDOWEDGE);

    EXPECT_EQ(static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW), GetClassLongPtrA(window, GCL_STYLE));
    LOGBRUSH brush{};
    GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)), sizeof brush,
               &brush);
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), brush.lbStyle);
    EXPECT_EQ(RGB(191, 191, 191), brush.lbColor);
    EXPECT_NE(0u, GetClassLongPtrA(window, GCLP_HICON));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)),
              GetClassLongPtrA(window, GCLP_HCURSOR));
    EXPECT_EQ(0, GetClassLongA(window, GCL_CBCLSEXTRA));
    EXPECT_EQ(0, GetClassLongA(window, GCL_CBWNDEXTRA));
}

// What CreateWindowExA was given for each child, in order.
struct Created {
    std::string className, text;
    DWORD style, exStyle;
    int x, y, width, height;
    INT_PTR id;
};

std::vector<Created> created;
HWND creatingParent = nullptr;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA& c = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (HIWORD(reinterpret_cast<ULONG_PTR>(c.lpszClass)) &&
            std::strcmp(c.lpszClass, "KeyAdminWClass") == 0)
            creatingParent = reinterpret_cast<HWND>(wParam);
        else if (c.hwndParent && c.hwndParent == creatingParent)
            created.push_back({HIWORD(reinterpret_cast<ULONG_PTR>(c.lpszClass)) ? c.lpszClass : "",
                               c.lpszName ? c.lpszName : "", static_cast<DWORD>(c.style),
                               c.dwExStyle, c.x, c.y, c.cx, c.cy,
                               reinterpret_cast<INT_PTR>(c.hMenu)});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct ExpectedControl {
    const char* className;
    const char* text;
    DWORD style, exStyle;
    int x, y, width, height;
    int id;
    int fontHeight;
};

TEST_F(WindowTest, ControlsAreCreatedInOrderWithTheirTextsStylesPlacesIdsAndFonts) {
    const ExpectedControl kExpected[] = {
        {"EDIT", "Disp Edit", 0x50000804, WS_EX_CLIENTEDGE, 17, 142, 330, 75, 0, 14},
        {"EDIT", "", 0x40010020, WS_EX_CLIENTEDGE, 140, 142, 110, 18, 0, 14},
        {"EDIT", "", 0x40010000, WS_EX_CLIENTEDGE, 140, 170, 110, 18, 0, 14},
        {"EDIT", "", 0x40010020, WS_EX_CLIENTEDGE, 140, 170, 110, 18, 0, 14},
        {"EDIT", "", 0x40010020, WS_EX_CLIENTEDGE, 140, 198, 110, 18, 0, 14},
        {"BUTTON", expected::kRefreshButton, 0x50000000, 0, 260, 110, 85, 23, 101, 12},
        {"BUTTON", expected::kOkButton, 0x40010000, 0, 260, 140, 60, 23, 102, 12},
        {"BUTTON", expected::kChangeButton, 0x40010000, 0, 260, 168, 60, 23, 103, 12},
        {"BUTTON", expected::kCancelButton, 0x40010000, 0, 260, 196, 60, 23, 104, 12},
    };
    created.clear();
    creatingParent = nullptr;
    const HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
    Open();
    UnhookWindowsHookEx(hook);

    ASSERT_EQ(std::size(kExpected), created.size());
    HWND child = GetWindow(window, GW_CHILD);  // Z order: the order of creation
    for (std::size_t i = 0; i < created.size(); ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const ExpectedControl& e = kExpected[i];
        const Created& c = created[i];
        SCOPED_TRACE(kNamedControls[i].name);
        EXPECT_STREQ(e.className, c.className.c_str());
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.style, c.style);
        EXPECT_EQ(e.exStyle, c.exStyle);
        EXPECT_EQ(e.x, c.x);
        EXPECT_EQ(e.y, c.y);
        EXPECT_EQ(e.width, c.width);
        EXPECT_EQ(e.height, c.height);
        EXPECT_EQ(e.id, c.id);

        const HWND control = w.*kNamedControls[i].handle;
        EXPECT_EQ(control, child);
        LOGFONTA font{};
        ASSERT_NE(0, GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)),
                                sizeof font, &font));
        EXPECT_EQ(e.fontHeight, font.lfHeight);
        EXPECT_EQ(e.fontHeight == 14 ? w.largeFont : w.smallFont,
                  reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    }
    EXPECT_EQ(nullptr, child);
}

TEST_F(WindowTest, BothFontsAreTheFixedPitchHangulFaceAtTheirHeights) {
    Open();
    for (const auto& [font, height] : {std::pair{w.largeFont, 14}, std::pair{w.smallFont, 12}}) {
        LOGFONTA f{};
        ASSERT_NE(0, GetObjectA(font, sizeof f, &f));
        EXPECT_EQ(height, f.lfHeight);
        EXPECT_EQ(0, f.lfWidth);
        EXPECT_EQ(0, f.lfEscapement);
        EXPECT_EQ(0, f.lfOrientation);
        EXPECT_EQ(0, f.lfWeight);
        EXPECT_EQ(0, f.lfItalic + f.lfUnderline + f.lfStrikeOut);
        EXPECT_EQ(129, f.lfCharSet);
        EXPECT_EQ(0, f.lfOutPrecision + f.lfClipPrecision + f.lfQuality);
        EXPECT_EQ(0x31, f.lfPitchAndFamily);
        EXPECT_STREQ(expected::kFontFace, f.lfFaceName);
    }
}

std::string MenuText(HMENU menu, UINT position) {
    char text[64] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

std::vector<WORD> Languages(LPCSTR type, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(GetModuleHandleA(nullptr), type, MAKEINTRESOURCEA(id), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST_F(WindowTest, ResourcesAreKorean) {
    const std::vector<WORD> korean{1042};
    EXPECT_EQ(korean, Languages(RT_MENU, 106));
    EXPECT_EQ(korean, Languages(RT_BITMAP, 107));
    EXPECT_EQ(korean, Languages(RT_GROUP_ICON, 110));
}

TEST_F(WindowTest, MenuHasOnePopupWithFourItemsAndASeparatorNoneGreyedNoMnemonics) {
    struct Item {
        UINT id;
        const char* text;
    };
    const Item kItems[] = {{40006, expected::kMenuView},
                           {40001, expected::kMenuChangeLogin},
                           {40002, expected::kMenuChangeKey},
                           {0, ""},
                           {40005, expected::kMenuExit}};
    const HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(106));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    EXPECT_EQ(expected::kMenuPopup, MenuText(menu, 0));
    const HMENU popup = GetSubMenu(menu, 0);
    ASSERT_EQ(static_cast<int>(std::size(kItems)), GetMenuItemCount(popup));
    for (UINT i = 0; i < std::size(kItems); ++i) {
        SCOPED_TRACE(i);
        const UINT state = GetMenuState(popup, i, MF_BYPOSITION);
        EXPECT_EQ(kItems[i].id == 0, (state & MF_SEPARATOR) != 0);
        if (kItems[i].id == 0) continue;
        EXPECT_EQ(0u, state & (MF_GRAYED | MF_DISABLED));
        EXPECT_EQ(std::string::npos, MenuText(popup, i).find('&'));
        EXPECT_EQ(kItems[i].id, GetMenuItemID(popup, i));
        EXPECT_EQ(kItems[i].text, MenuText(popup, i));
    }
    DestroyMenu(menu);

    Open();  // the window's menu is this menu
    EXPECT_EQ(expected::kMenuPopup, MenuText(GetMenu(window), 0));
    EXPECT_EQ(5, GetMenuItemCount(GetSubMenu(GetMenu(window), 0)));
}

const void* ResourceData(LPCSTR type, int id, DWORD* size = nullptr) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return nullptr;
    if (size) *size = SizeofResource(module, found);
    return LockResource(LoadResource(module, found));
}

TEST_F(WindowTest, BannerIs352By42In24BitsAndNotBlank) {
    DWORD size = 0;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(ResourceData(RT_BITMAP, 107, &size));
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(352, header->biWidth);
    EXPECT_EQ(42, std::abs(header->biHeight));
    EXPECT_EQ(24, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
    ASSERT_GE(size, sizeof *header + 352 * 3 * 42);
    const auto* pixels = reinterpret_cast<const unsigned char*>(header + 1);
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 352 * 42; i += 7) {
        const std::uint32_t c = pixels[i * 3] | pixels[i * 3 + 1] << 8 | pixels[i * 3 + 2] << 16;
        if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
    }
    EXPECT_GT(colours.size(), 20u) << "a banner of a few colours is no picture";
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(WindowTest, IconGroupHas32By32In256ColoursAnd16By16In16Colours) {
    const auto* group = static_cast<const WORD*>(ResourceData(RT_GROUP_ICON, 110));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(1, group[1]);  // icons
    ASSERT_EQ(2, group[2]);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 3);
    struct Expected {
        int size, colourCount, bits;
    };
    const Expected kImages[] = {{32, 0, 8}, {16, 16, 4}};  // 0 stands for 256 colours
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kImages[i].size, entries[i].width);
        EXPECT_EQ(kImages[i].size, entries[i].height);
        EXPECT_EQ(kImages[i].colourCount, entries[i].colourCount);
        EXPECT_EQ(kImages[i].bits, entries[i].bitCount);
        const auto* image =
            static_cast<const BITMAPINFOHEADER*>(ResourceData(RT_ICON, entries[i].id));
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(kImages[i].size, image->biWidth);
        EXPECT_EQ(kImages[i].size * 2, image->biHeight);  // colour bits and mask
        EXPECT_EQ(kImages[i].bits, image->biBitCount);
    }
    const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110));
    ASSERT_NE(nullptr, icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_NE(nullptr, info.hbmMask);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

bool QuitPosted(int& code) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) {
            code = static_cast<int>(message.wParam);
            return true;
        }
    return false;
}

TEST_F(WindowTest, ExitFromTheMenuDestroysTheWindowAndEndsTheLoopWithZero) {
    Open();
    Command(kMenuExit);
    EXPECT_FALSE(IsWindow(window));
    int code = -1;
    ASSERT_TRUE(QuitPosted(code));
    EXPECT_EQ(0, code);
}

TEST_F(WindowTest, ClosingFromTheSystemMenuEndsTheLoopWithZero) {
    Open();
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    int code = -1;
    ASSERT_TRUE(QuitPosted(code));
    EXPECT_EQ(0, code);
}

}  // namespace
}  // namespace wintest
