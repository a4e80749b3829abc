// The client side of the virtual-key server's control channel: one request
// line, one reply (first word "ok" or "error").
#pragma once

#include <string>

namespace vhid {

// Sends the request to the server of the instance; false when no server
// answers within a few seconds. The reply is left in `reply`.
bool ControlRequest(const std::string& instance, const std::string& request, std::string& reply);

// True when the reply says "ok".
bool ReplyOk(const std::string& reply);

}  // namespace vhid
