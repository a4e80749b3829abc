// Output and input reports on the key's HID interface, both overlapped on the
// read handle with a time limit, each direction with an event of its own.
// The write handle, opened for synchronous transfers, carries the attribute
// and capability queries only: a synchronous write would wait for good on a
// key that stops taking output reports.
#include "hid_api_win32.h"
#include "hid_read_channel_win32.h"
#include "key_link.h"
#include "key_transport.h"

namespace {

OVERLAPPED readOverlapped{};   // offsets 0; its event is keyLink.readEvent
OVERLAPPED writeOverlapped{};  // offsets 0; its event is keyLink.writeEvent

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

// Waits for an overlapped transfer of `length` bytes on the read handle that
// `started` began, at most `limitMs`. A transfer that fails at once or
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
        CancelIo(keyLink.readHandle);
        GetOverlappedResult(keyLink.readHandle, &overlapped, &transferred, TRUE);
    } else {
        done = GetOverlappedResult(keyLink.readHandle, &overlapped, &transferred, FALSE) &&
               transferred == length;
    }
    ResetEvent(overlapped.hEvent);
    if (!done) keyLink.linkState = 0;
}

}  // namespace

bool OpenReadChannel(const char* devicePath) {
    CloseIfOpen(keyLink.readHandle);
    keyLink.readHandle = OpenDevicePath(devicePath, FILE_FLAG_OVERLAPPED);
    const bool events = EnsureEvent(keyLink.readEvent, readOverlapped, TRUE) &&
                        EnsureEvent(keyLink.writeEvent, writeOverlapped, FALSE);
    return keyLink.readHandle && events;
}

// The key has as long to take an output report as to answer it.
std::int32_t SendReport() {
    const DWORD length = keyLink.outputReportLength;
    FinishTransfer(WriteFile(keyLink.readHandle, keyLink.outputReport.data(), length, nullptr,
                             &writeOverlapped),
                   writeOverlapped, length, kWriteTimeoutMs);
    return keyLink.linkState;
}

std::int32_t ReceiveReport() {
    const DWORD length = keyLink.inputReportLength;
    FinishTransfer(
        ReadFile(keyLink.readHandle, keyLink.inputReport.data(), length, nullptr, &readOverlapped),
        readOverlapped, length, kReadTimeoutMs);
    return keyLink.linkState;
}
