// The lock that keeps a virtual key file to one writer. Whoever serves a key
// from the file holds it for as long as the key is served (a virtual-key
// server under Wine, or a native one on Linux); a second one on the same
// file is refused, with a message that names the file.
//
// The lock is an exclusive record lock on the first byte of a file beside
// the key file, PATH.lock, made owner-only when missing and never removed:
// the key file itself is replaced at every save, and a lock on a file that
// is then renamed over no longer excludes anyone.
//
// On Windows the lock is taken with LockFileEx. Wine carries that out as a
// POSIX record lock (fcntl F_SETLK) of its wineserver on the file, so the
// lock taken on Linux, an open-file-description record lock (fcntl
// F_OFD_SETLK), and one taken by a Windows program under Wine exclude each
// other. (flock(2) would not do: Linux keeps flock locks apart from record
// locks, and Wine never takes them.)
#pragma once

#include <cstdint>
#include <string>

namespace vkey {

class KeyFileLock {
public:
    KeyFileLock() = default;
    KeyFileLock(const KeyFileLock&) = delete;
    KeyFileLock& operator=(const KeyFileLock&) = delete;
    KeyFileLock(KeyFileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    KeyFileLock& operator=(KeyFileLock&& other) noexcept;
    ~KeyFileLock() { Release(); }

    // Takes the lock of the key file at `keyPath` (letting go of one held
    // before). False when another holds it or the lock file cannot be
    // opened or locked; `error` then names the key file and says which.
    bool Take(const std::string& keyPath, std::string& error);
    void Release();
    bool held() const { return handle_ != kNone; }

private:
    static constexpr std::intptr_t kNone = -1;
    enum class Outcome : std::uint8_t { Taken, HeldByAnother, Failed };
    // The platform's part (key_file_lock_posix.cpp, key_file_lock_win32.cpp):
    // opens the lock file, made owner-only when missing, and tries the lock
    // without waiting. Taken: `handle` holds it. Failed: `reason` says why.
    static Outcome TryLock(const std::string& lockPath, std::intptr_t& handle, std::string& reason);
    static void Unlock(std::intptr_t handle);  // closes the lock file

    std::intptr_t handle_ = kNone;  // the lock file's descriptor, or its HANDLE
};

}  // namespace vkey
