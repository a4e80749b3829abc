// virtual-hidraw's control channel (--control FIFO): a test plugs keys in
// and pulls them out, or gives one a fault, at the moment it chooses, while
// COMMAND runs. One command a line:
//
//   plug N           attach device N: one that waits to be plugged in later
//                    (plug-after-ms), or one pulled out, which comes back as
//                    a new connection with the memory it had
//   unplug N         pull device N out
//   silent N         key N takes reports and answers none from now on
//   refuse-writes N  key N echoes another byte for every write from now on
//
// Each command carried out is appended, as it was given, to FIFO.done, so
// that the test knows when it took effect; one not understood is said on
// standard error and appended as "refused: <command>".
#pragma once

#include <string>

namespace vhidraw {

// Carries out one command line; false with `error` when it is not one.
bool RunControlCommand(const std::string& line, std::string& error);

// Makes the FIFO and serves it on a thread of its own until the process
// ends. False with `error` when the FIFO cannot be made.
bool ServeControl(const std::string& fifo, std::string& error);

}  // namespace vhidraw
