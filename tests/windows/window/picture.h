// Pictures of windows for the painting tests: captures, pictures drawn by
// the tests themselves, comparisons and PNG screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kGrey = 0x808080;
inline constexpr std::uint32_t kBackground = 0xBFBFBF;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // rows top-down, 0xRRGGBB

    std::uint32_t At(int x, int y) const { return pixels[y * width + x]; }
    bool Empty() const { return pixels.empty(); }
};

// A 32-bit drawing surface of the tests' own, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, std::uint32_t fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    Picture Take() const;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ kept_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// The client area of a window of this process, as painted on its surface.
Picture CaptureClient(HWND window);

// The whole window of this process (caption, menu, client), as painted.
Picture CaptureWindow(HWND window);

// The client area of any window, as it shows on the screen.
Picture CaptureClientFromScreen(HWND window);

// The whole of any window, as it shows on the screen.
Picture CaptureWindowFromScreen(HWND window);

// Rectangles of a picture: [left, right) x [top, bottom).
struct Area {
    int left, top, right, bottom;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Pixels of `actual` that differ from `expected` outside the `ignored`
// areas, described as "(x,y) actual/expected" for the first few.
struct Difference {
    int count = 0;
    std::string firstFew;
};
Difference Compare(const Picture& actual, const Picture& expected,
                   const std::vector<Area>& ignored = {});

// How many pixels of `area` have the colour.
int CountColour(const Picture& picture, const Area& area, std::uint32_t colour);

// Saves the picture as <build tree>/screenshots/<name>.png (the tests run
// in bin/). False if it could not be written.
bool SaveScreenshot(const Picture& picture, const std::string& name);

}  // namespace picture
