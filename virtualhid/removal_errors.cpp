// How reads and writes fail on a key that was pulled out. On the virtual key
// a pulled key's handles are disconnected pipes, which fail with the pipe's
// own errors (109, 232, 233); Windows' HID driver fails them with
// ERROR_DEVICE_NOT_CONNECTED (1167), and Wine's with yet another. The server
// says which the harness gives ("removal-error 1167|pipe").
//
// The stand-in hid.dll is loaded into the program before the program runs;
// it then points the program's imports of the five kernel32 functions below
// at wrappers. The wrappers call the real functions and only translate the
// error of a failed call on a handle opened on a virtual device's path.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "control_client.h"
#include "vhid_names.h"

namespace {

SRWLOCK lock = SRWLOCK_INIT;
std::vector<HANDLE> deviceHandles;  // opened on a virtual device's path

bool IsDeviceHandle(HANDLE handle) {
    AcquireSRWLockShared(&lock);
    const bool found =
        std::find(deviceHandles.begin(), deviceHandles.end(), handle) != deviceHandles.end();
    ReleaseSRWLockShared(&lock);
    return found;
}

bool IsPipeDisconnection(DWORD error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

// After a failed call: the error the configured driver would give.
BOOL Translated(BOOL result, HANDLE handle) {
    const DWORD error = GetLastError();
    DWORD translated = error;
    std::string reply;
    if (!result && IsPipeDisconnection(error) && IsDeviceHandle(handle) &&
        vhid::ControlRequest(vhid::CurrentInstance(), "removal-error", reply) && reply == "ok 1167")
        translated = ERROR_DEVICE_NOT_CONNECTED;
    SetLastError(translated);
    return result;
}

decltype(&CreateFileA) realCreateFileA;
decltype(&CloseHandle) realCloseHandle;
decltype(&ReadFile) realReadFile;
decltype(&WriteFile) realWriteFile;
decltype(&GetOverlappedResult) realGetOverlappedResult;

// \\.\pipe\virtualhid\<instance>\hid#vid_...: a virtual device's path.
bool IsDevicePath(const char* path) {
    const std::size_t root = std::strlen(vhid::kPipeRoot);
    if (!path || std::strncmp(path, vhid::kPipeRoot, root) != 0) return false;
    const std::string name = path + root;
    return !vhid::InstanceOfPipeName(name).empty() && name.find("\\hid#") != std::string::npos;
}

HANDLE WINAPI CreateFileHook(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE handle =
        realCreateFileA(path, access, share, security, disposition, flags, templateFile);
    if (handle != INVALID_HANDLE_VALUE && IsDevicePath(path)) {
        AcquireSRWLockExclusive(&lock);
        deviceHandles.push_back(handle);
        ReleaseSRWLockExclusive(&lock);
    }
    return handle;
}

BOOL WINAPI CloseHandleHook(HANDLE handle) {
    AcquireSRWLockExclusive(&lock);
    deviceHandles.erase(std::remove(deviceHandles.begin(), deviceHandles.end(), handle),
                        deviceHandles.end());
    ReleaseSRWLockExclusive(&lock);
    return realCloseHandle(handle);
}

BOOL WINAPI ReadFileHook(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD read,
                         LPOVERLAPPED overlapped) {
    return Translated(realReadFile(handle, buffer, length, read, overlapped), handle);
}

BOOL WINAPI WriteFileHook(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD written,
                          LPOVERLAPPED overlapped) {
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

void TranslateRemovalErrors() {
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
