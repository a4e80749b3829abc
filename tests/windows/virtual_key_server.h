// Starts a virtual-key server of this process's own and talks to its control
// channel, for the Windows tests and benchmarks. The executable must run from
// bin/, beside the server and the stand-in hid.dll and setupapi.dll.
#pragma once

#include <windows.h>

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
    return ended;
}

// Starts the server and points the stand-ins at it; false (and no server
// left running) if it does not answer within 5 s. The tests run it with its heap checker
// on (virtualhid/server/page_heap.cpp); benchmarks pass false.
inline bool Start(bool checkHeap = true) {
    SetEnvironmentVariableA("VIRTUALHID_INSTANCE", Instance().c_str());
    SetEnvironmentVariableA("VIRTUALHID_PAGE_HEAP", checkHeap ? "1" : nullptr);  // for the server
    std::string command = "virtualhid-server.exe " + Instance();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &Process()))
        return false;
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
