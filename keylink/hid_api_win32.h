// The Windows device-installation and HID class declarations the transport
// uses. The HID headers carry no C linkage of their own.
#pragma once

// windows.h comes first: the other headers build on it.
#include <windows.h>

#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}
