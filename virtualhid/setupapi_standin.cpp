// Stand-in setupapi.dll: lists the HID interfaces that the virtual-key server
// of this process's instance announces, in the server's order. Exports just
// the device-installation functions the program imports.
#define _SETUPAPI_
#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "control_client.h"
#include "vhid_names.h"

namespace {

// One device-information set: the device paths listed when it was made.
struct DeviceSet {
    std::vector<std::string> paths;
};

std::vector<std::string> ListedPaths() {
    std::vector<std::string> paths;
    std::string reply;
    if (!vhid::ControlRequest(vhid::CurrentInstance(), "paths", reply) || !vhid::ReplyOk(reply))
        return paths;
    std::size_t start = reply.find('\n');
    while (start != std::string::npos && start + 1 < reply.size()) {
        const std::size_t end = reply.find('\n', start + 1);
        std::string line =
            reply.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        if (!line.empty()) paths.push_back(std::move(line));
        start = end;
    }
    return paths;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID*, PCSTR, HWND, DWORD) {
    return new DeviceSet{ListedPaths()};
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* guid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    auto* devices = static_cast<DeviceSet*>(set);
    if (!devices || set == INVALID_HANDLE_VALUE || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (index >= devices->paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = guid ? *guid : GUID{};
    data->Flags = SPINT_ACTIVE;
    data->Reserved = index;
    return TRUE;
}

// As the real service: the size query fails with ERROR_INSUFFICIENT_BUFFER
// and gives the size; the record's cbSize must be the fixed part for this
// process's pointer width.
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                             PDWORD required, PSP_DEVINFO_DATA) {
    auto* devices = static_cast<DeviceSet*>(set);
    if (!devices || !data || data->Reserved >= devices->paths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& path = devices->paths[data->Reserved];
    const DWORD needed = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (required) *required = needed;
    if (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!detail || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (!set || set == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete static_cast<DeviceSet*>(set);
    return TRUE;
}

}  // extern "C"
