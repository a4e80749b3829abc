// The Windows device-installation and HID class declarations the transport
// uses. The HID headers carry no C linkage of their own.
#pragma once

#include <setupapi.h>
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}
