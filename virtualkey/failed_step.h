// How the virtual key's file code says why a step failed: the step, the
// file, and the system's reason for the failure just now (errno on POSIX,
// the last error on Windows, in English with its number).
#pragma once

#include <string>

namespace vkey {

// "<step> <file>: <reason>"
std::string FailedStep(const std::string& step, const std::string& file);

}  // namespace vkey
