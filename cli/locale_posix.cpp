// The locale on POSIX: the user's language from the locale variables, in
// the order the C library gives them precedence for messages, and code page
// 949 through the C library's iconv (glibc calls it CP949).
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "key_cell_map.h"
#include "platform.h"
#include "wipe_bytes.h"

namespace {

// The two converters, opened once for the process: opening one costs far
// more than a conversion (glibc loads its module), and a field is shown one
// character at a time.
struct Converter {
    const char* to;
    const char* from;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
};

Converter toCp949{"CP949", "UTF-8"};
Converter fromCp949{"UTF-8", "CP949"};

// Converts all of `in` into `out`; false unless every byte converted
// reversibly and fitted. `error` is iconv's errno when it stopped.
bool Convert(Converter& converter, std::string_view in, char* out, std::size_t& outLength,
             int& error) {
    if (converter.handle == reinterpret_cast<iconv_t>(-1))
        converter.handle = iconv_open(converter.to, converter.from);
    if (converter.handle == reinterpret_cast<iconv_t>(-1)) {
        error = EINVAL;
        return false;
    }
    iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    char* input = const_cast<char*>(in.data());
    std::size_t inputLeft = in.size();
    char* output = out;
    std::size_t outputLeft = outLength;
    const std::size_t irreversible =
        iconv(converter.handle, &input, &inputLeft, &output, &outputLeft);
    error = irreversible == static_cast<std::size_t>(-1) ? errno : 0;
    outLength -= outputLeft;
    return irreversible == 0 && inputLeft == 0;
}

}  // namespace

Language UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        return std::string_view(value).substr(0, 2) == "ko" ? Language::Korean : Language::English;
    }
    return Language::English;
}

TypedText EncodeTypedText(std::string_view utf8, TextField& text) {
    text.fill(0);
    if (utf8.find('\0') != std::string_view::npos) return TypedText::NotCp949;
    TextField converted{};
    std::size_t length = kMaxTypedBytes;
    int error = 0;
    const bool done = Convert(toCp949, utf8, converted.data(), length, error);
    if (done) std::memcpy(text.data(), converted.data(), length);
    WipeBytes(converted.data(), converted.size());
    if (done) return TypedText::Taken;
    return error == E2BIG ? TypedText::TooLong : TypedText::NotCp949;
}

std::size_t DecodeCp949Character(const char* bytes, std::size_t count, std::array<char, 4>& utf8) {
    std::size_t length = utf8.size();
    int error = 0;
    return Convert(fromCp949, std::string_view(bytes, count), utf8.data(), length, error) ? length
                                                                                          : 0;
}
