// Control requests over the server's message pipe.
#include "control_client.h"

#include <windows.h>

#include "vhid_names.h"

namespace vhid {

namespace {
constexpr DWORD kReplyLimit = 16384;
constexpr DWORD kBusyWaitMs = 2000;
}  // namespace

bool ControlRequest(const std::string& instance, const std::string& request, std::string& reply) {
    reply.assign(kReplyLimit, '\0');
    DWORD read = 0;
    const std::string path = ControlPipePath(instance);
    const BOOL done = CallNamedPipeA(path.c_str(), const_cast<char*>(request.data()),
                                     static_cast<DWORD>(request.size()), reply.data(), kReplyLimit,
                                     &read, kBusyWaitMs);
    reply.resize(done ? read : 0);
    return done;
}

bool ReplyOk(const std::string& reply) {
    return reply.compare(0, 2, "ok") == 0;
}

}  // namespace vhid
