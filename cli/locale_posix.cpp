// The locale on POSIX: the user's language from the locale variables, in
// the order the C library gives them precedence for messages; typed text in
// the character set of the locale, as a terminal sends it; and code page 949
// through the C library's iconv (glibc calls it CP949).
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "key_cell_map.h"
#include "platform.h"
#include "wipe_bytes.h"

namespace {

// The longest text converted: a typed line.
constexpr std::size_t kLongestText = std::tuple_size_v<decltype(TypedLine::bytes)>;

// The locale of a category: the first of LC_ALL, `variable` and LANG set.
std::string_view LocaleOf(const char* variable) {
    for (const char* name : {"LC_ALL", variable, "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

// A character set's name as iconv matches it: its letters and digits, in
// upper case ("utf8", "UTF-8": UTF8).
std::string Normalized(std::string_view charset) {
    std::string name;
    for (const char c : charset)
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// The character set text is typed in: the locale's for character types as
// the C library loads it, or, for a locale it does not have, as the locale's
// name gives it ("ko_KR.EUC-KR"). UTF-8 when neither names one, and for
// ASCII (the C locale), whose bytes UTF-8 reads alike.
std::string TypedCharset() {
    std::string charset;
    if (const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
        charset = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
    } else {
        const std::string_view name = LocaleOf("LC_CTYPE");
        const std::size_t dot = name.find('.');
        if (dot != std::string_view::npos)
            charset = name.substr(dot + 1, name.find('@', dot) - dot - 1);
    }
    const std::string normalized = Normalized(charset);
    for (const char* ascii : {"", "ANSIX341968", "ASCII", "USASCII"})
        if (normalized == ascii) return "UTF-8";
    return charset;
}

// glibc converts through UCS-4 in a buffer the converter allocates, and
// frees without wiping: `count` spaces are converted over the last text
// there before the converter is closed.
void CloseOverSpaces(iconv_t converter, std::size_t count) {
    std::array<char, kLongestText> spaces;
    std::array<char, kLongestText * 4> converted;
    spaces.fill(' ');
    char* input = spaces.data();
    char* output = converted.data();
    std::size_t outputLeft = converted.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    iconv(converter, &input, &count, &output, &outputLeft);
    iconv_close(converter);
}

// Converts all of `in` into `out` with a converter of its own; false unless
// every byte converted reversibly and fitted. `error` is iconv's errno when
// it stopped.
bool Convert(const char* to, const char* from, std::string_view in, char* out,
             std::size_t& outLength, int& error) {
    const iconv_t converter =
        in.size() > kLongestText ? reinterpret_cast<iconv_t>(-1) : iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        error = in.size() > kLongestText ? E2BIG : EINVAL;
        return false;
    }
    char* input = const_cast<char*>(in.data());
    std::size_t inputLeft = in.size();
    char* output = out;
    std::size_t outputLeft = outLength;
    const std::size_t irreversible = iconv(converter, &input, &inputLeft, &output, &outputLeft);
    error = irreversible == static_cast<std::size_t>(-1) ? errno : 0;
    outLength -= outputLeft;
    CloseOverSpaces(converter, in.size());
    return irreversible == 0 && inputLeft == 0;
}

}  // namespace

// Korean for a locale of the language ko (not Konkani's kok), unless its
// character set is not UTF-8: the texts are UTF-8, and English reads alike
// in any character set.
Language UserLanguage() {
    const std::string_view locale = LocaleOf("LC_MESSAGES");
    const bool korean = locale.substr(0, locale.find_first_of("_.@")) == "ko";
    return korean && Normalized(TypedCharset()) == "UTF8" ? Language::Korean : Language::English;
}

TypedText EncodeTypedText(std::string_view typed, TextField& text) {
    text.fill(0);
    if (typed.find('\0') != std::string_view::npos) return TypedText::NotCp949;
    TextField converted{};
    std::size_t length = kMaxTypedBytes;
    int error = 0;
    const bool done =
        Convert("CP949", TypedCharset().c_str(), typed, converted.data(), length, error);
    if (done) std::memcpy(text.data(), converted.data(), length);
    WipeBytes(converted.data(), converted.size());
    if (done) return TypedText::Taken;
    return error == E2BIG ? TypedText::TooLong : TypedText::NotCp949;
}

std::size_t DecodeCp949Character(const char* bytes, std::size_t count, std::array<char, 4>& utf8) {
    std::size_t length = utf8.size();
    int error = 0;
    return Convert("UTF-8", "CP949", std::string_view(bytes, count), utf8.data(), length, error)
               ? length
               : 0;
}
