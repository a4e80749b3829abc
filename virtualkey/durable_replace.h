// Replacing a small file whole, durably, readable by its owner only: the
// virtual key's memory file, which holds passwords.
#pragma once

#include <string>

namespace vkey {

// Writes `text` to a file beside `path` (PATH.new, made afresh, readable and
// writable by its owner only), flushes it to the disk, renames it over
// `path` and flushes the folder, so that after a crash `path` holds either
// its old text or `text`, and a save that returned true is on the disk.
// False when a step up to the rename fails: `reason` says which step on
// which file and the system's reason, the aside file is removed and `path`
// is as it was. Once renamed the save stands, even when the folder cannot be
// flushed (then a crash could at most bring the old text back).
//
// On Windows the rename asks for write-through (MOVEFILE_WRITE_THROUGH);
// Wine renames with a plain rename(2) whatever the flags, so the folder is
// flushed there too (FlushFileBuffers on a handle to the folder, which Wine
// carries out as fsync of the folder). Under Wine a new file's mode follows
// the umask of the prefix's wineserver, which creates it: for owner-only
// files the wineserver must run with umask 077 (scripts/run and
// scripts/run-wine-tests start it so).
bool ReplaceFileDurably(const std::string& path, const std::string& text, std::string& reason);

}  // namespace vkey
