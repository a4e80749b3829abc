// The virtual key's memory kept in a file between runs, as a real key keeps
// its memory between plug-ins: the 59 cells and the serial number, in a short
// text file with a checksum.
//
//   KeyAdmin virtual key memory, format 1
//   serial 0a0b0c0d
//   cells <118 hex digits>
//   check <CRC-32 of the lines above, 8 hex digits>
//
// A file that is not such a file, is cut short or is damaged is refused with
// a message that names it; nothing here ever overwrites such a file.
#pragma once

#include <string>
#include <string_view>

#include "key_file_lock.h"
#include "virtual_key.h"

namespace vkey {

enum class KeyFileError : std::uint8_t {
    None,
    Unreadable,  // cannot be opened or read
    Empty,
    Foreign,    // not a virtual key file (or a format this program does not read)
    Truncated,  // ends before its last line
    Damaged,    // a line is malformed or the checksum does not match
};

// Bytes as the file writes them: two lowercase hex digits each.
std::string Hex(const std::uint8_t* bytes, std::size_t count);

// The file's text for `contents`.
std::string FormatKeyFile(const KeyContents& contents);

// Reads `text` into `contents`; on failure `contents` is left as it was.
KeyFileError ParseKeyFile(std::string_view text, KeyContents& contents);

// Loads the file at `path`. On failure `error` says what is wrong with which
// file, and `contents` is left as it was.
bool LoadKeyFile(const std::string& path, KeyContents& contents, std::string& error);

// Writes the file beside `path`, then renames it over `path`, durably and
// readable by its owner only (ReplaceFileDurably), so that the file is
// always either the old memory or the new, never half of each. On failure
// `error` names the file and says why, and the old file is left as it was
// (unless only the last step failed, the flush of the folder after the
// rename: the new memory is then in place but maybe not yet on the disk).
bool SaveKeyFile(const std::string& path, const KeyContents& contents, std::string& error);

// What a key served from the file at `path` does first: takes the file's
// lock, before the file is touched, and then loads `contents` from the file
// or, with `makeNew`, writes them to it. On failure `error` says why and
// `lock` is not held.
bool OpenKeyFile(const std::string& path, bool makeNew, KeyContents& contents, KeyFileLock& lock,
                 std::string& error);

}  // namespace vkey
