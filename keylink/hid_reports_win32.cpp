// Output and input reports on the key's HID interface: synchronous writes on
// the write handle, overlapped reads with a time limit on the read handle.
#include "hid_api_win32.h"
#include "hid_read_channel_win32.h"
#include "key_link.h"
#include "key_transport.h"

namespace {

OVERLAPPED readOverlapped{};  // offsets 0; its event is keyLink.readEvent

void CloseIfOpen(void*& handle) {
    if (!handle) return;
    CloseHandle(handle);
    handle = nullptr;
}

// CreateFileA with the access and sharing both channels use; null on failure.
void* OpenDevicePath(const char* devicePath, DWORD flags) {
    HANDLE handle =
        CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

bool OpenReadChannel(const char* devicePath) {
    CloseIfOpen(keyLink.readHandle);
    keyLink.readHandle = OpenDevicePath(devicePath, FILE_FLAG_OVERLAPPED);
    if (!keyLink.readEvent) {
        keyLink.readEvent = CreateEventA(nullptr, TRUE, TRUE, "");
        readOverlapped = OVERLAPPED{};
        readOverlapped.hEvent = keyLink.readEvent;
    }
    return keyLink.readHandle && keyLink.readEvent;
}

std::int32_t SendReport() {
    DWORD written = 0;
    if (!WriteFile(keyLink.writeHandle, keyLink.outputReport.data(), keyLink.outputReportLength,
                   &written, nullptr) ||
        written != keyLink.outputReportLength) {
        keyLink.linkState = 0;
        return 0;
    }
    return keyLink.linkState;
}

// A read that fails at once or completes with an error (the key was pulled
// out) ends the link at once; a read that brings nothing within the limit is
// cancelled, and the call returns only when the cancellation has completed,
// so that the buffer is never written after the call. A wait that fails is
// treated as a timeout: the read may still be pending.
std::int32_t ReceiveReport() {
    DWORD transferred = 0;
    const BOOL started = ReadFile(keyLink.readHandle, keyLink.inputReport.data(),
                                  keyLink.inputReportLength, nullptr, &readOverlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) {
        keyLink.linkState = 0;
    } else if (WaitForSingleObject(keyLink.readEvent, kReadTimeoutMs) != WAIT_OBJECT_0) {
        CancelIo(keyLink.readHandle);
        GetOverlappedResult(keyLink.readHandle, &readOverlapped, &transferred, TRUE);
        keyLink.linkState = 0;
    } else if (!GetOverlappedResult(keyLink.readHandle, &readOverlapped, &transferred, FALSE)) {
        keyLink.linkState = 0;
    }
    ResetEvent(keyLink.readEvent);
    return keyLink.linkState;
}
