// How reads and writes fail on a key that was pulled out. On the virtual key
// a pulled key's handles are disconnected pipes, which fail with the pipe's
// own errors (109, 232, 233); Windows' HID driver fails them with
// ERROR_DEVICE_NOT_CONNECTED (1167), and Wine's with yet another. The server
// says which the harness gives ("removal-error 1167|pipe").
#pragma once

#include <windows.h>

namespace vhid {

// The error a failed read or write on a device handle gives the program,
// for the error the pipe gave.
DWORD RemovalError(DWORD pipeError);

}  // namespace vhid
