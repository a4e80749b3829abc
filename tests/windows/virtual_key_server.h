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

// Starts the server and points the stand-ins at it; false if it never answers.
inline bool Start() {
    SetEnvironmentVariableA("VIRTUALHID_INSTANCE", Instance().c_str());
    std::string command = "virtualhid-server.exe " + Instance();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &Process()))
        return false;
    std::string reply;
    for (int i = 0; i < 200; ++i) {
        if (vhid::ControlRequest(Instance(), "list", reply)) return vhid::ReplyOk(reply);
        Sleep(25);
    }
    return false;
}

inline void Stop() {
    std::string reply;
    vhid::ControlRequest(Instance(), "quit", reply);
    WaitForSingleObject(Process().hProcess, 5000);
    CloseHandle(Process().hProcess);
    CloseHandle(Process().hThread);
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
