// The stand-in hid.dll is loaded into the program before the program runs;
// it then points the program's imports of the five kernel32 functions below
// at wrappers. On a handle opened on a virtual device's path the wrappers
// refuse reads and writes that do not fit the device's reports, as Wine's
// HID does, and translate the error of a failed call; on any other handle
// they only call the real functions. The report lengths are asked of the
// server once, when the handle is opened.
#include "device_file_calls.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device_description.h"
#include "removal_errors.h"
#include "report_lengths.h"
#include "vhid_names.h"

namespace vhid {

namespace {

// A handle opened on a virtual device's path. Its lengths are unknown when
// the server could not describe the device (it was pulled out already):
// then its reads and writes fail on the pipe, with no rule needed.
struct DeviceHandle {
    HANDLE handle;
    bool lengthsKnown;
    ReportLengths lengths;
};

SRWLOCK lock = SRWLOCK_INIT;
std::vector<DeviceHandle> deviceHandles;

std::vector<DeviceHandle>::iterator Find(HANDLE handle) {
    return std::find_if(deviceHandles.begin(), deviceHandles.end(),
                        [handle](const DeviceHandle& device) { return device.handle == handle; });
}

bool IsDeviceHandle(HANDLE handle) {
    AcquireSRWLockShared(&lock);
    const bool found = Find(handle) != deviceHandles.end();
    ReleaseSRWLockShared(&lock);
    return found;
}

// False for a handle that is not a device's, or whose lengths are unknown.
bool LengthsOf(HANDLE handle, ReportLengths& lengths) {
    AcquireSRWLockShared(&lock);
    const auto found = Find(handle);
    const bool known = found != deviceHandles.end() && found->lengthsKnown;
    if (known) lengths = found->lengths;
    ReleaseSRWLockShared(&lock);
    return known;
}

// After a failed call: the error the configured driver would give.
BOOL Translated(BOOL result, HANDLE handle) {
    const DWORD error = GetLastError();
    SetLastError(!result && IsDeviceHandle(handle) ? RemovalError(error) : error);
    return result;
}

// A call the driver refuses before it reaches the device.
BOOL Refused(LPDWORD transferred) {
    if (transferred) *transferred = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

decltype(&CreateFileA) realCreateFileA;
decltype(&CloseHandle) realCloseHandle;
decltype(&ReadFile) realReadFile;
decltype(&WriteFile) realWriteFile;
decltype(&GetOverlappedResult) realGetOverlappedResult;

// \\.\pipe\virtualhid\<instance>\hid#vid_...: a virtual device's path.
bool IsDevicePath(const char* path) {
    const std::size_t root = std::strlen(kPipeRoot);
    if (!path || std::strncmp(path, kPipeRoot, root) != 0) return false;
    const std::string name = path + root;
    return !InstanceOfPipeName(name).empty() && name.find("\\hid#") != std::string::npos;
}

HANDLE WINAPI CreateFileHook(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE handle =
        realCreateFileA(path, access, share, security, disposition, flags, templateFile);
    if (handle != INVALID_HANDLE_VALUE && IsDevicePath(path)) {
        Description description;
        const bool described = Describe(handle, description);
        AcquireSRWLockExclusive(&lock);
        deviceHandles.push_back({handle, described, {description.input, description.output}});
        ReleaseSRWLockExclusive(&lock);
    }
    return handle;
}

BOOL WINAPI CloseHandleHook(HANDLE handle) {
    AcquireSRWLockExclusive(&lock);
    if (const auto found = Find(handle); found != deviceHandles.end()) deviceHandles.erase(found);
    ReleaseSRWLockExclusive(&lock);
    return realCloseHandle(handle);
}

BOOL WINAPI ReadFileHook(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD read,
                         LPOVERLAPPED overlapped) {
    ReportLengths lengths;
    if (LengthsOf(handle, lengths) && !ReadFitsInputReport(lengths, length)) return Refused(read);
    return Translated(realReadFile(handle, buffer, length, read, overlapped), handle);
}

BOOL WINAPI WriteFileHook(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD written,
                          LPOVERLAPPED overlapped) {
    ReportLengths lengths;
    if (LengthsOf(handle, lengths) &&
        !WriteFitsOutputReport(lengths, static_cast<const std::uint8_t*>(buffer), length))
        return Refused(written);
    return Translated(realWriteFile(handle, buffer, length, written, overlapped), handle);
}

BOOL WINAPI GetOverlappedResultHook(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD transferred,
                                    BOOL wait) {
    return Translated(realGetOverlappedResult(handle, overlapped, transferred, wait), handle);
}

struct Hook {
    const char* name;
    void* replacement;
};

// Points the module's imports of kernel32 functions named in `hooks` at
// their replacements.
void PatchImports(HMODULE module, const Hook* hooks, std::size_t count) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name; ++import) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + import->Name), "kernel32.dll") != 0 ||
            !import->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (std::size_t i = 0; i < count; ++i) {
                if (std::strcmp(name, hooks[i].name) != 0) continue;
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                               &protection);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(hooks[i].replacement);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection,
                               &protection);
            }
        }
    }
}

template <typename Function>
void Resolve(Function& function, HMODULE kernel32, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void WrapDeviceFileCalls() {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    Resolve(realCreateFileA, kernel32, "CreateFileA");
    Resolve(realCloseHandle, kernel32, "CloseHandle");
    Resolve(realReadFile, kernel32, "ReadFile");
    Resolve(realWriteFile, kernel32, "WriteFile");
    Resolve(realGetOverlappedResult, kernel32, "GetOverlappedResult");
    const Hook hooks[] = {
        {"CreateFileA", reinterpret_cast<void*>(CreateFileHook)},
        {"CloseHandle", reinterpret_cast<void*>(CloseHandleHook)},
        {"ReadFile", reinterpret_cast<void*>(ReadFileHook)},
        {"WriteFile", reinterpret_cast<void*>(WriteFileHook)},
        {"GetOverlappedResult", reinterpret_cast<void*>(GetOverlappedResultHook)},
    };
    PatchImports(GetModuleHandleA(nullptr), hooks, sizeof hooks / sizeof hooks[0]);
}

}  // namespace vhid
