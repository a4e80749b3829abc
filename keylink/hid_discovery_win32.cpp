// Discovery of the key among the present HID interfaces, in the order in
// which the device-installation services list them.
#include <cstdlib>

#include "hid_api_win32.h"
#include "hid_read_channel_win32.h"
#include "key_link.h"
#include "key_transport.h"

namespace {

using DetailRecord = SP_DEVICE_INTERFACE_DETAIL_DATA_A;

// The interface's device path in a detail record of the size the services
// ask for; null when they give none. The caller frees it.
DetailRecord* FetchDetail(HDEVINFO deviceSet, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(deviceSet, &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(DetailRecord)) return nullptr;
    auto* detail = static_cast<DetailRecord*>(std::malloc(required));
    if (!detail) return nullptr;
    // The fixed part of the record for this process's pointer width: 5 bytes
    // in a 32-bit process, 8 in a 64-bit one.
    static_assert(sizeof(DetailRecord) == (sizeof(void*) == 4 ? 5 : 8));
    detail->cbSize = sizeof(DetailRecord);
    if (!SetupDiGetDeviceInterfaceDetailA(deviceSet, &interfaceData, detail, required, nullptr,
                                          nullptr)) {
        std::free(detail);
        return nullptr;
    }
    return detail;
}

bool IsWantedKey(HANDLE device, USHORT wantedProduct) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    return HidD_GetAttributes(device, &attributes) && attributes.VendorID == kKeyVendorId &&
           attributes.ProductID == wantedProduct;
}

// The report lengths from the device's capabilities; false when they cannot
// be read or are too short for the framing.
bool ReadReportLengths(HANDLE device, USHORT& inputLength, USHORT& outputLength) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(device, &preparsed)) return false;
    HIDP_CAPS caps{};
    const bool read = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    inputLength = caps.InputReportByteLength;
    outputLength = caps.OutputReportByteLength;
    return read && ReportLengthsUsable(inputLength, outputLength);
}

void CloseWriteHandle() {
    if (!keyLink.writeHandle) return;
    CloseHandle(keyLink.writeHandle);
    keyLink.writeHandle = nullptr;
}

// Opens the candidate as the new write handle and, when it is the key,
// takes its report lengths and opens the read channel on the same path.
bool TryCandidate(const char* devicePath, USHORT wantedProduct) {
    CloseWriteHandle();
    HANDLE device =
        CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    keyLink.writeHandle = device;
    USHORT inputLength = 0, outputLength = 0;
    if (!IsWantedKey(device, wantedProduct) ||
        !ReadReportLengths(device, inputLength, outputLength)) {
        CloseWriteHandle();
        return false;
    }
    // A key whose read channel cannot be opened cannot be used either.
    if (!OpenReadChannel(devicePath)) {
        CloseWriteHandle();
        return false;
    }
    SizeReportBuffers(inputLength, outputLength);
    return true;
}

}  // namespace

int DiscoverKey() {
    const auto wantedProduct =
        static_cast<USHORT>(deviceProfile.productIdHigh * 256 + deviceProfile.productIdLow);
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO deviceSet =
        SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceSet == INVALID_HANDLE_VALUE) return 0;

    int found = 0;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    for (DWORD index = 0;
         !found && SetupDiEnumDeviceInterfaces(deviceSet, nullptr, &hidGuid, index, &interfaceData);
         ++index) {
        DetailRecord* detail = FetchDetail(deviceSet, interfaceData);
        if (!detail) {
            CloseWriteHandle();  // examined, and no match
            continue;
        }
        found = TryCandidate(detail->DevicePath, wantedProduct) ? 1 : 0;
        std::free(detail);
    }
    SetupDiDestroyDeviceInfoList(deviceSet);
    return found;
}
