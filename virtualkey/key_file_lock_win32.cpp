// KeyFileLock on Windows: LockFileEx on the first byte of the lock file.
#include <windows.h>

#include "failed_step.h"
#include "key_file_lock.h"

namespace vkey {

KeyFileLock::Outcome KeyFileLock::TryLock(const std::string& lockPath, std::intptr_t& handle,
                                          std::string& reason) {
    HANDLE file = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = FailedStep("cannot open", lockPath);
        return Outcome::Failed;
    }
    OVERLAPPED firstByte{};  // offset 0
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &firstByte)) {
        handle = reinterpret_cast<std::intptr_t>(file);
        return Outcome::Taken;
    }
    const bool held = GetLastError() == ERROR_LOCK_VIOLATION;
    if (!held) reason = FailedStep("cannot lock", lockPath);
    CloseHandle(file);
    return held ? Outcome::HeldByAnother : Outcome::Failed;
}

void KeyFileLock::Unlock(std::intptr_t handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace vkey
