// Starts a virtual-key server of this process's own and talks to its control
// channel, for the Windows tests and benchmarks. The executable must run from
// bin/, beside the server and the stand-in hid.dll and setupapi.dll. The
// server's output goes to a log that the tests can read (Log), and that is
// copied to this process's error output when the server ends.
#pragma once

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "control_client.h"

namespace server {

inline const std::string& Instance() {
    static const std::string name = "test-" + std::to_string(GetCurrentProcessId());
    return name;
}

inline PROCESS_INFORMATION& Process() {
    static PROCESS_INFORMATION process{};
    return process;
}

inline const std::string& LogPath() {
    static const std::string path = [] {
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        return std::string(folder) + "virtualhid-" + Instance() + ".log";
    }();
    return path;
}

// What the server has written to its output so far.
inline std::string Log() {
    std::string text;
    HANDLE log = CreateFileA(LogPath().c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (log == INVALID_HANDLE_VALUE) return text;
    char chunk[4096];
    for (DWORD got = 0; ReadFile(log, chunk, sizeof chunk, &got, nullptr) && got > 0;)
        text.append(chunk, got);
    CloseHandle(log);
    return text;
}

// Ends the server by its process handle and forgets it; true when it has
// ended.
inline bool End() {
    PROCESS_INFORMATION& process = Process();
    if (!process.hProcess) return true;
    bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        ended = WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = PROCESS_INFORMATION{};
    const std::string log = Log();
    if (!log.empty()) std::fprintf(stderr, "%s", log.c_str());
    DeleteFileA(LogPath().c_str());
    return ended;
}

// Starts the server and points the stand-ins at it; false (and no server
// left running) if it does not answer within 5 s. The tests run it with its heap checker
// on (virtualhid/server/page_heap.cpp); benchmarks pass false.
inline bool Start(bool checkHeap = true) {
    SetEnvironmentVariableA("VIRTUALHID_INSTANCE", Instance().c_str());
    SetEnvironmentVariableA("VIRTUALHID_PAGE_HEAP", checkHeap ? "1" : nullptr);  // for the server
    std::string command = "virtualhid-server.exe " + Instance();
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE log = CreateFileA(LogPath().c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return false;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = log;
    startup.hStdError = log;
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &Process());
    CloseHandle(log);
    if (!started) return false;
    std::string reply;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 5000;) {
        if (vhid::ControlRequest(Instance(), "list", reply)) return vhid::ReplyOk(reply);
        if (WaitForSingleObject(Process().hProcess, 25) == WAIT_OBJECT_0) break;
    }
    End();
    return false;
}

// Asks the server to quit; one that does not answer, or does not quit
// within 5 s, is ended by its process handle. True when it has ended.
inline bool Stop() {
    std::string reply;
    if (vhid::ControlRequest(Instance(), "quit", reply))
        WaitForSingleObject(Process().hProcess, 5000);
    return End();
}

// One control request; the reply, or "" when the server did not answer.
inline std::string Request(const std::string& request) {
    std::string reply;
    if (!vhid::ControlRequest(Instance(), request, reply)) return "";
    return reply;
}

// "ok <id>" -> id
inline std::string IdOf(const std::string& reply) {
    return reply.substr(reply.find(' ') + 1);
}

}  // namespace server
