// Stand-in hid.dll: answers the HID class queries for the handles of the
// virtual-key server's devices. Which device a handle belongs to comes from
// its pipe name; attributes and report lengths come from the server, so a
// device that was pulled out answers no query. Exports just the functions
// the program imports. When loaded it also wraps the program's reads and
// writes on the devices' handles (device_file_calls.cpp).
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <cstring>

#include "device_description.h"
#include "device_file_calls.h"

namespace {

constexpr ULONG kPreparsedMagic = 0x44494856;  // "VHID"

struct Preparsed {
    ULONG magic;
    USHORT inputLength, outputLength;
};

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) vhid::WrapDeviceFileCalls();
    return TRUE;
}

void NTAPI HidD_GetHidGuid(LPGUID guid) {
    // The HID device interface class.
    *guid = GUID{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    vhid::Description description;
    if (!Describe(device, description) || !description.readable) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = static_cast<USHORT>(description.vendor);
    attributes->ProductID = static_cast<USHORT>(description.product);
    attributes->VersionNumber = static_cast<USHORT>(description.version);
    return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsed) {
    vhid::Description description;
    if (!Describe(device, description)) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    auto* data = static_cast<Preparsed*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Preparsed)));
    if (!data) return FALSE;
    *data = Preparsed{kPreparsedMagic, static_cast<USHORT>(description.input),
                      static_cast<USHORT>(description.output)};
    *preparsed = reinterpret_cast<PHIDP_PREPARSED_DATA>(data);
    return TRUE;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsed) {
    auto* data = reinterpret_cast<Preparsed*>(preparsed);
    if (!data || data->magic != kPreparsedMagic) return FALSE;
    data->magic = 0;
    return HeapFree(GetProcessHeap(), 0, data);
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsed, PHIDP_CAPS caps) {
    auto* data = reinterpret_cast<Preparsed*>(preparsed);
    if (!data || data->magic != kPreparsedMagic) return HIDP_STATUS_INVALID_PREPARSED_DATA;
    std::memset(caps, 0, sizeof *caps);
    caps->UsagePage = 0xFF00;  // vendor-defined, as the key's
    caps->Usage = 1;
    caps->InputReportByteLength = data->inputLength;
    caps->OutputReportByteLength = data->outputLength;
    caps->NumberInputValueCaps = 1;
    caps->NumberOutputValueCaps = 1;
    return HIDP_STATUS_SUCCESS;
}

}  // extern "C"
