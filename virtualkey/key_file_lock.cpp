// KeyFileLock: what every platform shares.
#include "key_file_lock.h"

namespace vkey {

KeyFileLock& KeyFileLock::operator=(KeyFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

bool KeyFileLock::Take(const std::string& keyPath, std::string& error) {
    Release();
    const std::string lockPath = keyPath + ".lock";
    std::string reason;
    switch (TryLock(lockPath, handle_, reason)) {
        case Outcome::Taken:
            return true;
        case Outcome::HeldByAnother:
            error = "the virtual key file " + keyPath +
                    " is in use: another virtual-key server holds its lock " + lockPath;
            break;
        case Outcome::Failed:
            error = "cannot lock the virtual key file " + keyPath + ": " + reason;
            break;
    }
    return false;
}

void KeyFileLock::Release() {
    if (handle_ == kNone) return;
    Unlock(handle_);
    handle_ = kNone;
}

}  // namespace vkey
