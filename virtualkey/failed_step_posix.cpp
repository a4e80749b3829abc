// FailedStep on POSIX: errno's text.
#include <cerrno>
#include <cstring>

#include "failed_step.h"

namespace vkey {

std::string FailedStep(const std::string& step, const std::string& file) {
    return step + " " + file + ": " + std::strerror(errno);
}

}  // namespace vkey
