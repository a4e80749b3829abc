// keyadmin-cli.exe on a console of its own, as a user at a Windows console
// sees it: Korean prompts and messages readable in the console's cells
// (written as UTF-16, whatever the console's code page), and the password
// typed at the prompt not shown.
#include <windows.h>

#include <string>

#include "server_fixture.h"

namespace {

// The console's screen, its lines joined and trailing blanks dropped.
std::wstring Screen(HANDLE output) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(output, &info);
    std::wstring screen;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::wstring line(info.dwSize.X, L' ');
        DWORD got = 0;
        ReadConsoleOutputCharacterW(output, line.data(), info.dwSize.X, {0, row}, &got);
        line.resize(line.find_last_not_of(L' ') + 1);
        screen += line + L"\n";
    }
    return screen;
}

void Type(HANDLE input, const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT_RECORD records[2]{};
        for (int i = 0; i < 2; ++i) {
            records[i].EventType = KEY_EVENT;
            records[i].Event.KeyEvent.bKeyDown = i == 0;
            records[i].Event.KeyEvent.wRepeatCount = 1;
            records[i].Event.KeyEvent.uChar.UnicodeChar = c;
            records[i].Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
        }
        DWORD written = 0;
        WriteConsoleInputW(input, records, 2, &written);
    }
}

// Waits until the screen shows `text`; the screen then.
std::wstring WaitFor(HANDLE output, const std::wstring& text) {
    std::wstring screen;
    for (int i = 0; i < 250; ++i) {
        screen = Screen(output);
        if (screen.find(text) != std::wstring::npos) break;
        Sleep(20);
    }
    return screen;
}

std::string Narrow(const std::wstring& text) {
    std::string utf8(text.size() * 3 + 1, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

using CliConsoleTest = ServerTest;

TEST_F(CliConsoleTest, KoreanIsReadableAndThePasswordIsNotShown) {
    Control(
        "add-key serial=4b41d001 key-password=1234 login-id=demo-user login-password=demo-pass1");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = L"keyadmin-cli.exe show-login-password";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                               nullptr, nullptr, &startup, &process));
    // The test's own standard streams are pipes; it borrows the program's
    // console to read its cells and to type.
    FreeConsole();
    bool attached = false;
    for (int i = 0; i < 250 && !attached; ++i) {
        attached = AttachConsole(process.dwProcessId) != FALSE;
        if (!attached) Sleep(20);
    }
    ASSERT_TRUE(attached) << GetLastError();
    HANDLE output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    // (Trailing blanks are dropped from the lines read back.)
    const std::wstring prompt = WaitFor(output, L"인증키 암호:");
    EXPECT_NE(std::wstring::npos, prompt.find(L"인증키 암호:")) << Narrow(prompt);
    Type(input, L"1234\r");
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 10000));
    const std::wstring screen = Screen(output);
    EXPECT_NE(std::wstring::npos, screen.find(L"로그인 암호: demo-pass1")) << Narrow(screen);
    EXPECT_EQ(std::wstring::npos, screen.find(L"1234")) << Narrow(screen);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(output);
    CloseHandle(input);
    FreeConsole();
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

}  // namespace
