// ReplaceFileDurably on POSIX: open with mode 0600, fsync, rename, fsync of
// the folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "durable_replace.h"
#include "failed_step.h"

namespace vkey {

namespace {

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Best effort: see ReplaceFileDurably.
void FlushFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool ReplaceFileDurably(const std::string& path, const std::string& text, std::string& reason) {
    const std::string aside = path + ".new";
    // Made afresh: one left by a crash may have another mode, or be a link.
    unlink(aside.c_str());
    const int fd = open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = FailedStep("cannot create", aside);
        return false;
    }
    bool written = WriteAll(fd, text);
    if (!written) {
        reason = FailedStep("cannot write", aside);
    } else if (fsync(fd) != 0) {
        reason = FailedStep("cannot flush", aside);
        written = false;
    }
    if (close(fd) != 0 && written) {
        reason = FailedStep("cannot close", aside);
        written = false;
    }
    if (written && rename(aside.c_str(), path.c_str()) != 0) {
        reason = FailedStep("cannot rename " + aside + " to", path);
        written = false;
    }
    if (!written) {
        unlink(aside.c_str());
        return false;
    }
    // The file holds the text now. A folder that cannot be flushed leaves
    // only the rename at risk, which a crash could at most take back to the
    // old text: the save stands, since the key's memory is what the file holds.
    FlushFolder(FolderOf(path));
    return true;
}

}  // namespace vkey
