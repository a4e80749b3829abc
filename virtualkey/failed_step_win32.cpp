// FailedStep on Windows: the system's message for the last error, in
// English, and its number.
#include <windows.h>

#include "failed_step.h"

namespace vkey {

std::string FailedStep(const std::string& step, const std::string& file) {
    const DWORD error = GetLastError();
    char text[256] = {};
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        text[--length] = '\0';
    return step + " " + file + ": " + (length ? text : "no text for it") + " (error " +
           std::to_string(error) + ")";
}

}  // namespace vkey
