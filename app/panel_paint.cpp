// Painting the information panel: the banner, the key's identity, the
// labels of the password form and the etched separator. Everything is drawn
// on every paint; the window's children cover what lies under them.
#include <array>
#include <cstring>

#include "admin_window.h"
#include "key_identity.h"
#include "resource_ids.h"
#include "window_handlers.h"

namespace {

// The identity lines, in the large font. Spaces count: the line of a key
// ends in one space after the serial, the login ID is followed by thirteen.
constexpr char kSerialLineFormat[] = "인증키 고유번호 :  %02X %02X %02X %02X ";
constexpr char kSerialLineNoKey[] = "인증키 고유번호 :  xx xx xx xx";
constexpr char kLoginLineFormat[] = "  로그인 아이디 :  %s             ";
constexpr char kLoginLineNoKey[] = "  로그인 아이디 :               ";
constexpr char kSiteLine[] = "     접속사이트 :  www.example.com/keyadmin";

constexpr POINT kSerialLine{20, 60};
constexpr POINT kSiteLinePosition{20, 80};
constexpr POINT kLoginLine{20, 100};

constexpr POINT kBannerPosition{5, 5};
// The copy is as large as the window's top; the banner fills 352 x 42 of it.
constexpr SIZE kBannerCopy{400, 100};

struct FormLabel {
    const char* text;
    POINT position;
};

// In the small font, beside the current-password, new-password and
// confirmation edits.
constexpr std::array<FormLabel, 3> kFormLabels{{
    {" 인증키 암호 :", {50, 145}},
    {" 변경할 암호 :", {50, 173}},
    {"   암호 확인 :", {50, 201}},
}};

// Which labels a mode paints, and which of them are etched (greyed); the
// others are plain.
struct ModeLabels {
    PanelMode mode;
    std::array<bool, 3> etched;
};

constexpr std::array<ModeLabels, 3> kModeLabels{{
    {PanelMode::ViewLoginPassword, {false, true, true}},
    {PanelMode::ChangeLoginPassword, {false, false, true}},
    {PanelMode::ChangeKeyPassword, {false, false, false}},
}};

constexpr COLORREF kEtchHighlight = RGB(255, 255, 255);
constexpr COLORREF kEtchFace = RGB(128, 128, 128);

// The groove under the identity lines, ending left of the refresh button
// (the end points are not drawn).
constexpr int kSeparatorLeft = 20;
constexpr int kSeparatorEnd = 245;
constexpr int kSeparatorDarkRow = 128;

void PaintText(HDC dc, POINT at, const char* text, int length) {
    TextOutA(dc, at.x, at.y, text, length);
}

// wsprintfA writes 1024 bytes at most, terminator included.
using Line = std::array<char, 1024>;

// Formats one identity line into the start of `line`: its length as drawn.
template <typename... Values>
int FormatLine(Line& line, const char* format, Values... values) {
    return wsprintfA(line.data(), format, values...);
}

void PaintText(HDC dc, POINT at, const char* text) {
    PaintText(dc, at, text, static_cast<int>(std::strlen(text)));
}

void DrawBanner(HDC dc, HDC memory) {
    const HBITMAP banner = LoadBitmapA(windowState.instance, MAKEINTRESOURCEA(KEYADMIN_BANNER));
    const HGDIOBJ kept = SelectObject(memory, banner);
    BitBlt(dc, kBannerPosition.x, kBannerPosition.y, kBannerCopy.cx, kBannerCopy.cy, memory, 0, 0,
           SRCCOPY);
    SelectObject(memory, kept);
    DeleteObject(banner);
}

void DrawIdentityLines(HDC dc) {
    Line line{};
    if (keyIdentity.status != KeyStatus::NotFound) {
        const auto& serial = keyIdentity.serial;
        int length =
            FormatLine(line, kSerialLineFormat, serial[0], serial[1], serial[2], serial[3]);
        PaintText(dc, kSerialLine, line.data(), length);
        length = FormatLine(line, kLoginLineFormat, keyIdentity.loginId.data());
        PaintText(dc, kLoginLine, line.data(), length);
    } else {
        PaintText(dc, kSerialLine, kSerialLineNoKey);
        PaintText(dc, kLoginLine, kLoginLineNoKey);
    }
    PaintText(dc, kSiteLinePosition, kSiteLine);
}

// Plain labels in the text colour in force (black); an etched label in white
// one pixel right and one pixel down, then in grey at its place.
void DrawFormLabels(HDC dc, PanelMode mode) {
    for (const ModeLabels& labels : kModeLabels) {
        if (labels.mode != mode) continue;
        for (std::size_t i = 0; i < kFormLabels.size(); ++i)
            if (!labels.etched[i]) PaintText(dc, kFormLabels[i].position, kFormLabels[i].text);
        SetTextColor(dc, kEtchHighlight);
        for (std::size_t i = 0; i < kFormLabels.size(); ++i) {
            if (!labels.etched[i]) continue;
            const POINT at = kFormLabels[i].position;
            PaintText(dc, {at.x + 1, at.y}, kFormLabels[i].text);
            PaintText(dc, {at.x, at.y + 1}, kFormLabels[i].text);
        }
        SetTextColor(dc, kEtchFace);
        for (std::size_t i = 0; i < kFormLabels.size(); ++i)
            if (labels.etched[i]) PaintText(dc, kFormLabels[i].position, kFormLabels[i].text);
    }
}

void DrawSeparator(HDC dc) {
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, kSeparatorLeft, kSeparatorDarkRow, nullptr);
    LineTo(dc, kSeparatorEnd, kSeparatorDarkRow);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, kSeparatorLeft, kSeparatorDarkRow + 1, nullptr);
    LineTo(dc, kSeparatorEnd, kSeparatorDarkRow + 1);
}

}  // namespace

LRESULT OnPaint(HWND window, WPARAM) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    if (const HDC memory = CreateCompatibleDC(dc)) {
        DrawBanner(dc, memory);
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, windowState.largeFont);
        DrawIdentityLines(dc);
        SelectObject(dc, windowState.smallFont);
        DrawFormLabels(dc, windowState.panelMode);
        DrawSeparator(dc);
        DeleteDC(memory);
    }
    EndPaint(window, &paint);
    return 0;
}
