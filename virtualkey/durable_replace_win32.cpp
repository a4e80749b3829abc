// ReplaceFileDurably on Windows: FlushFileBuffers, MoveFileEx with
// write-through, and a flush of the folder for Wine.
#include <windows.h>

#include "durable_replace.h"
#include "failed_step.h"

namespace vkey {

namespace {

// The folder of the file: "C:\keys" of "C:\keys\key", "C:\" of "C:\key".
std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    const bool atRoot = separator == 2 && path[1] == ':';
    return path.substr(0, atRoot ? separator + 1 : separator);
}

// Writes the whole text; a write that stops short says the disk is full.
bool WriteAll(HANDLE file, const std::string& text) {
    DWORD wrote = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr))
        return false;
    if (wrote == text.size()) return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
}

// Best effort: see ReplaceFileDurably.
void FlushFolder(const std::string& folder) {
    // A folder opens only with backup semantics; Wine flushes it only on a
    // handle that may write to it.
    HANDLE handle = CreateFileA(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(handle);
    CloseHandle(handle);
}

}  // namespace

bool ReplaceFileDurably(const std::string& path, const std::string& text, std::string& reason) {
    const std::string aside = path + ".new";
    // Made afresh: one left by a crash may be readable by others, or be a
    // link, and a file opened over it keeps what it was.
    DeleteFileA(aside.c_str());
    HANDLE file = CreateFileA(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = FailedStep("cannot create", aside);
        return false;
    }
    bool written = true;
    if (!WriteAll(file, text)) {
        reason = FailedStep("cannot write", aside);
        written = false;
    } else if (!FlushFileBuffers(file)) {
        reason = FailedStep("cannot flush", aside);
        written = false;
    }
    if (!CloseHandle(file) && written) {
        reason = FailedStep("cannot close", aside);
        written = false;
    }
    if (written && !MoveFileExA(aside.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = FailedStep("cannot rename " + aside + " to", path);
        written = false;
    }
    if (!written) {
        DeleteFileA(aside.c_str());
        return false;
    }
    // The file holds the text now. A folder that cannot be flushed leaves
    // only the rename at risk, which a crash could at most take back to the
    // old text: the save stands, since the key's memory is what the file holds.
    FlushFolder(FolderOf(path));
    return true;
}

}  // namespace vkey
