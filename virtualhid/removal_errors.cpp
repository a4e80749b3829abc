// A pipe's disconnection becomes the removal error the server is set to.
#include "removal_errors.h"

#include <string>

#include "control_client.h"
#include "vhid_names.h"

namespace vhid {

namespace {

bool IsPipeDisconnection(DWORD error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

}  // namespace

DWORD RemovalError(DWORD pipeError) {
    std::string reply;
    if (IsPipeDisconnection(pipeError) &&
        ControlRequest(CurrentInstance(), "removal-error", reply) && reply == "ok 1167")
        return ERROR_DEVICE_NOT_CONNECTED;
    return pipeError;
}

}  // namespace vhid
