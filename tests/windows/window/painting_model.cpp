// The tests' model of the information panel.
#include "painting_model.h"

#include <cstdio>

#include "window_texts.h"

namespace painting {

namespace {

constexpr int kLarge = 14;
constexpr int kSmall = 12;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

HFONT Font(int height) {
    return CreateFontA(height, 0, 0, 0, 0, 0, 0, 0, 129, 0, 0, 0, 0x31, expected::kFontFace);
}

struct Label {
    const char* text;
    int x, y;
};

}  // namespace

std::string SerialLine(const std::array<std::uint8_t, 4>& serial) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%02X %02X %02X %02X ", serial[0], serial[1], serial[2],
                  serial[3]);
    return expected::kSerialLinePrefix + std::string(digits);
}

std::string LoginLine(const std::string& loginId) {
    return expected::kLoginLinePrefix + loginId + std::string(13, ' ');
}

std::string SerialLineNoKey() {
    return expected::kSerialLineNoKey;
}

std::string LoginLineNoKey() {
    return expected::kLoginLineNoKey;
}

std::string SiteLine() {
    return expected::kSiteLinePrefix + std::string("www.example.com/keyadmin");
}

std::vector<TextCall> Calls(const std::string& serialLine, const std::string& loginLine,
                            Labels labels) {
    std::vector<TextCall> calls{
        {20, 60, serialLine, kBlack, kLarge, TRANSPARENT},
        {20, 100, loginLine, kBlack, kLarge, TRANSPARENT},
        {20, 80, SiteLine(), kBlack, kLarge, TRANSPARENT},
    };
    const Label key{expected::kKeyPasswordLabel, 50, 145};
    const Label newer{expected::kNewPasswordLabel, 50, 173};
    const Label confirm{expected::kConfirmLabel, 50, 201};
    std::vector<Label> plain, etched;
    switch (labels) {
        case Labels::None:
            return calls;
        case Labels::ViewLoginPassword:
            plain = {key}, etched = {newer, confirm};
            break;
        case Labels::ChangeLoginPassword:
            plain = {key, newer}, etched = {confirm};
            break;
        case Labels::ChangeKeyPassword:
            plain = {key, newer, confirm};
            break;
    }
    for (const Label& l : plain) calls.push_back({l.x, l.y, l.text, kBlack, kSmall, TRANSPARENT});
    for (const Label& l : etched) {  // highlight right and below, then the face
        calls.push_back({l.x + 1, l.y, l.text, kWhite, kSmall, TRANSPARENT});
        calls.push_back({l.x, l.y + 1, l.text, kWhite, kSmall, TRANSPARENT});
    }
    for (const Label& l : etched) calls.push_back({l.x, l.y, l.text, kGrey, kSmall, TRANSPARENT});
    return calls;
}

picture::Picture Expected(int width, int height, HMODULE bannerModule,
                          const std::vector<TextCall>& calls) {
    picture::Canvas canvas(width, height, picture::kBackground);
    const HDC dc = canvas.Dc();

    const HBITMAP banner = LoadBitmapA(bannerModule, MAKEINTRESOURCEA(107));
    const HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ kept = SelectObject(memory, banner);
    BitBlt(dc, 5, 5, 352, 42, memory, 0, 0, SRCCOPY);
    SelectObject(memory, kept);
    DeleteDC(memory);
    DeleteObject(banner);

    const HFONT large = Font(kLarge), small = Font(kSmall);
    SetBkMode(dc, TRANSPARENT);
    for (const TextCall& call : calls) {
        SelectObject(dc, call.fontHeight == kLarge ? large : small);
        SetTextColor(dc, call.colour);
        TextOutA(dc, call.x, call.y, call.text.data(), static_cast<int>(call.text.size()));
    }
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(large);
    DeleteObject(small);

    for (int x = 20; x < 245; ++x) {  // the groove: black over white
        SetPixelV(dc, x, 128, RGB(0, 0, 0));
        SetPixelV(dc, x, 129, RGB(255, 255, 255));
    }
    return canvas.Take();
}

std::vector<picture::Area> ChildAreas(HWND window) {
    std::vector<picture::Area> areas;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        areas.push_back({rect.left, rect.top, rect.right, rect.bottom});
    }
    return areas;
}

picture::Area LabelArea(int x, int y, const std::string& text) {
    const HDC dc = CreateCompatibleDC(nullptr);
    const HFONT font = Font(kSmall);
    const HGDIOBJ kept = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, kept);
    DeleteObject(font);
    DeleteDC(dc);
    return {x, y, x + size.cx + 1, y + size.cy + 1};  // and the highlight's pixel
}

}  // namespace painting
