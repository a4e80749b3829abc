// What the server says of the device a handle is open on: its attributes
// and report lengths, as the HID class driver would read them from it.
#pragma once

#include <windows.h>

namespace vhid {

struct Description {
    unsigned vendor = 0, product = 0, version = 0, input = 0, output = 0, readable = 0;
};

// Asks the server of the handle's pipe ("describe"); false when the handle
// is on no device of a server, the device was pulled out, or no server
// answers.
bool Describe(HANDLE handle, Description& description);

}  // namespace vhid
