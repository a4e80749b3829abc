// Takes a picture of the program's window for the run command: waits until
// the window has finished starting (its status box no longer shows the text
// it is created with, so the start-up refresh has run), lets it paint,
// captures it from the screen into a 24-bit BMP, and can then close it.
// Usage: windowshot <out.bmp> [--close] [--timeout-ms N]
// Exits 0 when the picture was written, 1 when the window did not come.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kWindowClass[] = "KeyAdminWClass";
constexpr char kStatusBoxInitialText[] = "Disp Edit";

// The window once its start-up refresh has set the status text; null when
// the time runs out first.
HWND AwaitStartedWindow(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowA(kWindowClass, nullptr);
        HWND statusBox = window ? FindWindowExA(window, nullptr, "EDIT", nullptr) : nullptr;
        char text[64] = {};
        DWORD_PTR copied = 0;
        if (statusBox && IsWindowVisible(window) &&
            SendMessageTimeoutA(statusBox, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, 1000, &copied) &&
            copied > 0 && std::strcmp(text, kStatusBoxInitialText) != 0)
            return window;
        Sleep(100);
    }
    return nullptr;
}

bool WriteBmp(const char* path, int width, int height, const std::vector<std::uint8_t>& pixels) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up rows, as GetDIBits gives them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&info, sizeof info, 1, out) == 1 &&
                         std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return std::fclose(out) == 0 && written;
}

// Copies the window's rectangle off the screen.
bool Capture(HWND window, const char* path) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ kept = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, kept);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height);
    const bool read =
        GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return read && WriteBmp(path, width, height, pixels);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: windowshot <out.bmp> [--close] [--timeout-ms N]\n");
        return 2;
    }
    bool close = false;
    DWORD timeoutMs = 60000;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--close") == 0) close = true;
        if (std::strcmp(argv[i], "--timeout-ms") == 0 && i + 1 < argc)
            timeoutMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
    }
    HWND window = AwaitStartedWindow(timeoutMs);
    if (!window) {
        std::fprintf(stderr, "windowshot: no started %s window within %lu ms\n", kWindowClass,
                     static_cast<unsigned long>(timeoutMs));
        return 1;
    }
    // The window shows, then paints: once it answers a message its queue is
    // drained, and the paint that follows comes within a moment.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    Sleep(500);
    const bool captured = Capture(window, argv[1]);
    if (!captured) std::fprintf(stderr, "windowshot: cannot write %s\n", argv[1]);
    if (close) PostMessageA(window, WM_CLOSE, 0, 0);
    return captured ? 0 : 1;
}
