// KeyFileLock on POSIX: an open-file-description record lock (fcntl) where
// the system has them, so that the lock belongs to this descriptor and not
// to the whole process; a process-wide record lock otherwise.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "failed_step.h"
#include "key_file_lock.h"

namespace vkey {

namespace {

#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

}  // namespace

KeyFileLock::Outcome KeyFileLock::TryLock(const std::string& lockPath, std::intptr_t& handle,
                                          std::string& reason) {
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = FailedStep("cannot open", lockPath);
        return Outcome::Failed;
    }
    struct flock firstByte {};
    firstByte.l_type = F_WRLCK;
    firstByte.l_whence = SEEK_SET;
    firstByte.l_start = 0;
    firstByte.l_len = 1;
    if (fcntl(fd, kSetLock, &firstByte) == 0) {
        handle = fd;
        return Outcome::Taken;
    }
    const bool held = errno == EAGAIN || errno == EACCES;
    if (!held) reason = FailedStep("cannot lock", lockPath);
    close(fd);
    return held ? Outcome::HeldByAnother : Outcome::Failed;
}

void KeyFileLock::Unlock(std::intptr_t handle) {
    close(static_cast<int>(handle));
}

}  // namespace vkey
