// Control requests over the server's message pipe, each step with a time
// limit: a server that hangs costs the caller a few seconds, not forever.
#include "control_client.h"

#include <windows.h>

#include "vhid_names.h"

namespace vhid {

namespace {

constexpr DWORD kReplyLimit = 16384;
constexpr DWORD kBusyWaitMs = 2000;    // for a free pipe instance
constexpr DWORD kAnswerWaitMs = 2000;  // for the request to be taken, and for the reply

// Opens the control pipe for overlapped transfers; null when no server
// listens (or none is free within the wait).
HANDLE OpenControlPipe(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) return pipe;
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeA(path.c_str(), kBusyWaitMs)) break;
    }
    return nullptr;
}

// Waits for the transfer `started` began; one that does not complete in
// time is cancelled. True when it completed with `transferred` bytes.
bool Finish(HANDLE pipe, OVERLAPPED& io, BOOL started, DWORD& transferred) {
    transferred = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(io.hEvent, kAnswerWaitMs) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &io, &transferred, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &io, &transferred, FALSE);
}

}  // namespace

bool ControlRequest(const std::string& instance, const std::string& request, std::string& reply) {
    reply.clear();
    HANDLE pipe = OpenControlPipe(ControlPipePath(instance));
    if (!pipe) return false;
    DWORD mode = PIPE_READMODE_MESSAGE;
    OVERLAPPED io{};
    io.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string buffer(kReplyLimit, '\0');
    DWORD transferred = 0;
    const bool done =
        io.hEvent && SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr) &&
        Finish(pipe, io,
               WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), nullptr, &io),
               transferred) &&
        transferred == request.size() &&
        Finish(pipe, io, ReadFile(pipe, buffer.data(), kReplyLimit, nullptr, &io), transferred);
    if (done) reply.assign(buffer.data(), transferred);
    if (io.hEvent) CloseHandle(io.hEvent);
    CloseHandle(pipe);
    return done;
}

bool ReplyOk(const std::string& reply) {
    return reply.compare(0, 2, "ok") == 0;
}

}  // namespace vhid
