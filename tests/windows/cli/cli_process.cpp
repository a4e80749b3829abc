// Running keyadmin-cli.exe with pipes for its standard streams.
#include "cli_process.h"

#include <windows.h>

namespace clirun {

namespace {

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

Pipe MakePipe(bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Pipe pipe;
    CreatePipe(&pipe.read, &pipe.write, &inherit, 0);
    // The parent's end is not inherited.
    SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

// Reads what is there without waiting; false once the writer has gone.
bool Collect(HANDLE pipe, std::string& into) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    while (available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got,
                      nullptr))
            return false;
        into.append(buffer, got);
        available -= got;
    }
    return true;
}

}  // namespace

Ran RunCli(const std::string& arguments, const std::string& input, const Step& step) {
    Ran ran;
    Pipe in = MakePipe(true), out = MakePipe(false), err = MakePipe(false);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    std::string command = "keyadmin-cli.exe " + arguments;
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(in.read);
    CloseHandle(out.write);
    CloseHandle(err.write);
    if (!started) return ran;
    DWORD written = 0;
    if (!input.empty())
        WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(in.write);
    bool acted = step.when.empty();
    const DWORD start = GetTickCount();
    for (bool running = true; running;) {
        running = WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT;
        Collect(out.read, ran.out);
        Collect(err.read, ran.err);
        if (!acted && (ran.out + ran.err).find(step.when) != std::string::npos) {
            step.action();
            acted = true;
        }
        if (running && GetTickCount() - start > 60000) TerminateProcess(process.hProcess, 255);
    }
    Collect(out.read, ran.out);
    Collect(err.read, ran.err);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    ran.exitCode = static_cast<int>(code);
    CloseHandle(out.read);
    CloseHandle(err.read);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ran;
}

}  // namespace clirun
