// The copy of keyadmin.exe whose manifest no Windows reads a code page from.
#include "ignored_code_page.h"

#include <fstream>
#include <iterator>
#include <string_view>

namespace program {

namespace {

constexpr std::string_view kElement =
    "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">";
constexpr std::string_view kYear = "2019";
constexpr std::string_view kOtherYear = "2005";
constexpr char kCopy[] = "keyadmin-ignored-code-page.exe";

}  // namespace

std::string CopyIgnoringCodePage() {
    std::ifstream in("keyadmin.exe", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t at = bytes.find(kElement);
    if (at == std::string::npos || bytes.find(kElement, at + 1) != std::string::npos) return "";
    bytes.replace(at + kElement.find(kYear), kYear.size(), kOtherYear);
    std::ofstream out(kCopy, std::ios::binary | std::ios::trunc);
    out << bytes;
    return out.flush() ? kCopy : "";
}

}  // namespace program
