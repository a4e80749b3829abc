// The production keyadmin.exe, unmodified, started against the virtual-key
// server and driven from the test process the way another program can:
// windows found by class, controls by class and rectangle, texts through
// WM_GETTEXT/WM_SETTEXT, commands sent or posted as WM_COMMAND, keys posted,
// message boxes found by process, read and closed. Menus cannot be read
// across processes under Wine, so the menu is checked by the in-process tests.
#pragma once

#include <windows.h>

#include <string>

#include "message_boxes.h"

namespace program {

struct Controls {
    HWND statusBox = nullptr;
    HWND currentPasswordEdit = nullptr;
    HWND newLoginPasswordEdit = nullptr;
    HWND newKeyPasswordEdit = nullptr;
    HWND confirmPasswordEdit = nullptr;
    HWND refreshButton = nullptr;
    HWND okButton = nullptr;
    HWND changeButton = nullptr;
    HWND cancelButton = nullptr;
};

class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts keyadmin.exe from the working directory, or the program that
    // the command line names.
    bool Launch(const char* commandLine = "keyadmin.exe");
    // Launches it and waits until its window is up and its message loop
    // runs; false otherwise.
    bool Start(const char* commandLine = "keyadmin.exe");
    // Waits for the window of the program launched; false if none comes.
    bool WaitForWindow();
    // Waits for the process to end: its exit code, or -1 if it did not end.
    int WaitForExit(DWORD milliseconds = 10000);
    // Ends a process that would not end.
    void Kill();

    // Finds the nine controls by class, rectangle and password style;
    // false unless each is found exactly once.
    bool FindControls();

    // A command handled to its end (one that opens no message box).
    void Send(WORD id) const;
    // A command that the test does not wait for.
    void Post(WORD id) const;
    // Returns once the program has handled what was sent before.
    void Sync() const;
    std::string Text(HWND control) const;
    // The text as the program holds it, whatever this process's code page.
    std::wstring WideText(HWND control) const;
    void Type(HWND edit, const std::string& text) const;
    void PostKey(HWND target, UINT key) const;
    HWND Focus() const;

    // The program's message box, once it shows; null if none within the time.
    HWND WaitForBox(DWORD milliseconds = 10000) const;
    // Any message box of the program now.
    HWND CurrentBox() const;
    // Reads the box, presses OK and waits until the operation behind it ended.
    wintest::Box ReadAndClose(HWND box) const;

    RECT Rect() const;

    HWND window = nullptr;
    Controls controls;
    PROCESS_INFORMATION process{};
};

// How many top-level windows of the class exist.
int WindowsOfClass(const char* className);

}  // namespace program
