// The control channel's commands: one request line in, one reply out.
#pragma once

#include <string>

namespace vhid {

// The instance whose device pipes new devices get.
void SetServedInstance(const std::string& instance);

// True once "stall" was asked for: the server then serves nothing more.
bool StallRequested();

// Runs one request; sets `stop` on "quit".
std::string AnswerControlRequest(const std::string& request, bool& stop);

}  // namespace vhid
