// What the window's paint must draw, from the tests' own reading of the
// window's look: the text calls in order, and the picture they make with the
// banner, the separator and the background.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace painting {

struct TextCall {
    int x, y;
    std::string text;
    COLORREF colour;
    int fontHeight;
    int backgroundMode;

    bool operator==(const TextCall&) const = default;
};

enum class Labels { None, ViewLoginPassword, ChangeLoginPassword, ChangeKeyPassword };

// The identity lines of a key that answered.
std::string SerialLine(const std::array<std::uint8_t, 4>& serial);
std::string LoginLine(const std::string& loginId);
// ... and of no key.
std::string SerialLineNoKey();
std::string LoginLineNoKey();

// The site line the window shows; the web address is the program's choice.
std::string SiteLine();

// The text calls of one paint, in order.
std::vector<TextCall> Calls(const std::string& serialLine, const std::string& loginLine,
                            Labels labels);

// The client area those calls make on the background, with the banner
// (bitmap 107 of `bannerModule`) and the separator.
picture::Picture Expected(int width, int height, HMODULE bannerModule,
                          const std::vector<TextCall>& calls);

// The visible child windows' rectangles, in client coordinates.
std::vector<picture::Area> ChildAreas(HWND window);

// The box a label's text covers (small font), for colour counts.
picture::Area LabelArea(int x, int y, const std::string& text);

}  // namespace painting
