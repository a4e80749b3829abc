// Captures, comparisons and PNG screenshots.
#include "picture.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

namespace picture {

namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Copies width x height pixels from (x, y) of `source` into a new picture.
Picture CopyFrom(HDC source, int x, int y, int width, int height) {
    Canvas canvas(width, height, 0);
    BitBlt(canvas.Dc(), 0, 0, width, height, source, x, y, SRCCOPY);
    return canvas.Take();
}

// PNG: 8-bit RGB, no filter, the image data in stored (uncompressed)
// deflate blocks: a few hundred kilobytes per window, and no zlib needed.
std::uint32_t Crc32(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    PutBig32(out, Crc32(typed));
}

std::string Zlib(const std::string& raw) {
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + size == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<char>(size & 0xFF));
        out.push_back(static_cast<char>(size >> 8));
        out.push_back(static_cast<char>(~size & 0xFF));
        out.push_back(static_cast<char>((~size >> 8) & 0xFF));
        out.append(raw, at, size);
        at += size;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, (b << 16) | a);
    return out;
}

std::string Png(const Picture& picture) {
    std::string raw;
    raw.reserve(static_cast<std::size_t>(picture.height) * (picture.width * 3 + 1));
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t p = picture.At(x, y);
            raw.push_back(static_cast<char>(p >> 16));
            raw.push_back(static_cast<char>(p >> 8));
            raw.push_back(static_cast<char>(p));
        }
    }
    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(picture.width));
    PutBig32(header, static_cast<std::uint32_t>(picture.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", Zlib(raw));
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace

Canvas::Canvas(int width, int height, std::uint32_t fill) : width_(width), height_(height) {
    const BITMAPINFO info = TopDown32(width, height);
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    kept_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) bits_[i] = fill;
}

Canvas::~Canvas() {
    SelectObject(dc_, kept_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

Picture Canvas::Take() const {
    GdiFlush();
    Picture picture{width_, height_, {}};
    picture.pixels.resize(static_cast<std::size_t>(width_) * height_);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = bits_[i] & 0xFFFFFF;
    return picture;
}

Picture CaptureClient(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const HDC dc = GetDC(window);
    Picture picture = CopyFrom(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(window, dc);
    return picture;
}

Picture CaptureWindow(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const HDC dc = GetWindowDC(window);
    Picture picture = CopyFrom(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(window, dc);
    return picture;
}

namespace {

// `width` x `height` pixels of the screen from (x, y).
Picture FromScreen(int x, int y, int width, int height) {
    const HDC screen = GetDC(nullptr);
    Picture picture = CopyFrom(screen, x, y, width, height);
    ReleaseDC(nullptr, screen);
    return picture;
}

}  // namespace

Picture CaptureClientFromScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return FromScreen(origin.x, origin.y, client.right, client.bottom);
}

Picture CaptureWindowFromScreen(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return FromScreen(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

Difference Compare(const Picture& actual, const Picture& expected,
                   const std::vector<Area>& ignored) {
    Difference difference;
    if (actual.width != expected.width || actual.height != expected.height) {
        difference.count = -1;
        difference.firstFew = "sizes differ";
        return difference;
    }
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            bool skip = false;
            for (const Area& area : ignored) skip = skip || area.Contains(x, y);
            if (skip || actual.At(x, y) == expected.At(x, y)) continue;
            if (++difference.count <= 8) {
                char line[64];
                std::snprintf(line, sizeof line, " (%d,%d) %06X/%06X", x, y,
                              static_cast<unsigned>(actual.At(x, y)),
                              static_cast<unsigned>(expected.At(x, y)));
                difference.firstFew += line;
            }
        }
    }
    return difference;
}

int CountColour(const Picture& picture, const Area& area, std::uint32_t colour) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) count += picture.At(x, y) == colour;
    return count;
}

bool SaveScreenshot(const Picture& picture, const std::string& name) {
    const std::string folder = "..\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream file(folder + "\\" + name + ".png", std::ios::binary);
    file << Png(picture);
    return static_cast<bool>(file);
}

}  // namespace picture
