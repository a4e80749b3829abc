// The key link's transport on Windows: discovery among the present HID
// interfaces, in the order in which the device-installation services list
// them, and the key's reports on the HID class driver.
//
// A found key is opened twice on its device path. The query handle carries
// the attribute and capability queries. The report handle, opened for
// overlapped transfers, carries the output and the input reports, each with
// the time limit the exchange gives it and an event of its own for each
// direction (a synchronous write would wait for good on a key that stops
// taking output reports).
#include <cstdlib>

#include "key_link.h"
#include "key_transport.h"

// windows.h comes first: the other headers build on it. The HID headers
// carry no C linkage of their own.
#include <windows.h>

#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

namespace {

using DetailRecord = SP_DEVICE_INTERFACE_DETAIL_DATA_A;

OVERLAPPED readOverlapped{};   // offsets 0; its event is keyLink.readEvent
OVERLAPPED writeOverlapped{};  // offsets 0; its event is keyLink.writeEvent

void CloseIfOpen(void*& handle) {
    if (!handle) return;
    CloseHandle(handle);
    handle = nullptr;
}

// CreateFileA with the access and sharing both handles use; null on failure.
void* OpenDevicePath(const char* devicePath, DWORD flags) {
    HANDLE handle =
        CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

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

// Calls `examine(path)` for each present HID interface in turn until it
// returns true; `skipped()` for an interface whose path cannot be had.
template <typename Examine, typename Skipped>
void ForEachHidInterface(Examine examine, Skipped skipped) {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO deviceSet =
        SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceSet == INVALID_HANDLE_VALUE) return;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    bool done = false;
    for (DWORD index = 0;
         !done && SetupDiEnumDeviceInterfaces(deviceSet, nullptr, &hidGuid, index, &interfaceData);
         ++index) {
        DetailRecord* detail = FetchDetail(deviceSet, interfaceData);
        if (!detail) {
            skipped();
            continue;
        }
        done = examine(detail->DevicePath);
        std::free(detail);
    }
    SetupDiDestroyDeviceInfoList(deviceSet);
}

bool IsWantedKey(HANDLE device) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    return HidD_GetAttributes(device, &attributes) && attributes.VendorID == kKeyVendorId &&
           attributes.ProductID == ProfileProductId();
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

// Creates the manual-reset event of one direction on first use and points
// its overlapped record at it; later discoveries reuse both.
bool EnsureEvent(void*& event, OVERLAPPED& overlapped, BOOL initiallySignalled) {
    if (!event) {
        event = CreateEventA(nullptr, TRUE, initiallySignalled, "");
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
    }
    return event != nullptr;
}

// Closes the report handle if one is open and opens the device path again
// for overlapped transfers; creates the events on first use. False when the
// path could not be opened or an event not created.
bool OpenReportHandle(const char* devicePath) {
    CloseIfOpen(keyLink.reportHandle);
    keyLink.reportHandle = OpenDevicePath(devicePath, FILE_FLAG_OVERLAPPED);
    const bool events = EnsureEvent(keyLink.readEvent, readOverlapped, TRUE) &&
                        EnsureEvent(keyLink.writeEvent, writeOverlapped, FALSE);
    return keyLink.reportHandle && events;
}

// Opens the candidate as the new query handle and, when it is the key,
// takes its report lengths and opens the report handle on the same path.
bool TryCandidate(const char* devicePath) {
    CloseIfOpen(keyLink.queryHandle);
    keyLink.queryHandle = OpenDevicePath(devicePath, 0);
    if (!keyLink.queryHandle) return false;
    USHORT inputLength = 0, outputLength = 0;
    if (!IsWantedKey(keyLink.queryHandle)) {
        CloseIfOpen(keyLink.queryHandle);
        return false;
    }
    // A key whose reports cannot be used, or whose report handle cannot be
    // opened, cannot be used either.
    if (!ReadReportLengths(keyLink.queryHandle, inputLength, outputLength) ||
        !OpenReportHandle(devicePath)) {
        CloseIfOpen(keyLink.queryHandle);
        keyLink.discoveryFailure = DiscoveryFailure::Unusable;
        SetFailedPath(devicePath);
        return false;
    }
    SizeReportBuffers(inputLength, outputLength);
    return true;
}

// Waits for an overlapped transfer of `length` bytes on the report handle
// that `started` began, at most `limitMs`. A transfer that fails at once or
// completes with an error (the key was pulled out), or moves fewer bytes
// than the report, ends the link at once; one that does not complete within
// the limit is cancelled, and the call returns only when the cancellation
// has completed, so that the buffer is never touched after the call. A wait
// that fails is treated as a timeout: the transfer may still be pending.
void FinishTransfer(BOOL started, OVERLAPPED& overlapped, DWORD length, DWORD limitMs) {
    DWORD transferred = 0;
    bool done = false;
    if (!started && GetLastError() != ERROR_IO_PENDING) {
        done = false;
    } else if (WaitForSingleObject(overlapped.hEvent, limitMs) != WAIT_OBJECT_0) {
        CancelIo(keyLink.reportHandle);
        GetOverlappedResult(keyLink.reportHandle, &overlapped, &transferred, TRUE);
    } else {
        done = GetOverlappedResult(keyLink.reportHandle, &overlapped, &transferred, FALSE) &&
               transferred == length;
    }
    ResetEvent(overlapped.hEvent);
    if (!done) keyLink.linkState = 0;
}

}  // namespace

int DiscoverKey() {
    keyLink.discoveryFailure = DiscoveryFailure::NoKey;
    SetFailedPath("");
    int found = 0;
    ForEachHidInterface(
        [&](const char* devicePath) {
            if (!IsChosenKeyPath(devicePath)) return false;
            found = TryCandidate(devicePath) ? 1 : 0;
            return found == 1;
        },
        [] { CloseIfOpen(keyLink.queryHandle); });  // examined, and no match
    if (found) {
        keyLink.discoveryFailure = DiscoveryFailure::None;
        SetFailedPath("");
    }
    return found;
}

void ForEachKeyPath(KeyPathVisitor visit, void* context) {
    ForEachHidInterface(
        [&](const char* devicePath) {
            if (void* device = OpenDevicePath(devicePath, 0)) {
                if (IsWantedKey(device)) visit(devicePath, context);
                CloseHandle(device);
            }
            return false;
        },
        [] {});
}

void CloseKey() {
    CloseIfOpen(keyLink.queryHandle);
    CloseIfOpen(keyLink.reportHandle);
    keyLink.linkState = 0;
    keyLink.openedFlag = 0;
}

std::int32_t SendReport(std::uint32_t limitMs) {
    const DWORD length = keyLink.outputReportLength;
    FinishTransfer(WriteFile(keyLink.reportHandle, keyLink.outputReport.data(), length, nullptr,
                             &writeOverlapped),
                   writeOverlapped, length, limitMs);
    return keyLink.linkState;
}

std::int32_t ReceiveReport(std::uint32_t limitMs) {
    const DWORD length = keyLink.inputReportLength;
    FinishTransfer(ReadFile(keyLink.reportHandle, keyLink.inputReport.data(), length, nullptr,
                            &readOverlapped),
                   readOverlapped, length, limitMs);
    return keyLink.linkState;
}

void PauseBetweenReads() {
    Sleep(kPauseBetweenReadsMs);
}
