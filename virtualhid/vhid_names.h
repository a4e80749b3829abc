// Names shared by the virtual-key server, its control client and the
// stand-in hid.dll and setupapi.dll: the pipes of one server instance.
#pragma once

#include <string>

namespace vhid {

// The instance a process talks to: VIRTUALHID_INSTANCE, or "default".
std::string CurrentInstance();

// \\.\pipe\virtualhid\<instance>\control
std::string ControlPipePath(const std::string& instance);

// The device's pipe name below \\.\pipe, as the pipe file system reports it
// for an open handle: \virtualhid\<instance>\hid#vid_10f7&pid_81e1#<id>
std::string DevicePipeName(const std::string& instance, unsigned vendor, unsigned product, int id);

// The instance named in a device pipe name; empty when it is not ours.
std::string InstanceOfPipeName(const std::string& pipeName);

inline constexpr const char* kPipeRoot = "\\\\.\\pipe";

}  // namespace vhid
