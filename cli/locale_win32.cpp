// The locale on Windows: the user's language from the Windows UI language,
// and code page 949 through the Windows code page services.
#include <windows.h>

#include <cstring>

#include "key_cell_map.h"
#include "platform.h"
#include "wipe_bytes.h"

Language UserLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_KOREAN ? Language::Korean
                                                                    : Language::English;
}

TypedText EncodeTypedText(std::string_view utf8, TextField& text) {
    text.fill(0);
    if (utf8.find('\0') != std::string_view::npos) return TypedText::NotCp949;
    if (utf8.empty()) return TypedText::Taken;
    std::array<wchar_t, 512> wide;
    std::array<char, 1024> converted;
    TypedText outcome = TypedText::NotCp949;
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                          static_cast<int>(utf8.size()), wide.data(),
                                          static_cast<int>(wide.size()));
    BOOL defaultUsed = FALSE;
    const int length =
        units <= 0
            ? 0
            : WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, wide.data(), units, converted.data(),
                                  static_cast<int>(converted.size()), nullptr, &defaultUsed);
    if (units > 0 && length > 0 && !defaultUsed) {
        outcome = static_cast<std::size_t>(length) > kMaxTypedBytes ? TypedText::TooLong
                                                                    : TypedText::Taken;
        if (outcome == TypedText::Taken) std::memcpy(text.data(), converted.data(), length);
    }
    WipeBytes(wide.data(), sizeof wide);
    WipeBytes(converted.data(), converted.size());
    return outcome;
}

std::size_t DecodeCp949Character(const char* bytes, std::size_t count, std::array<char, 4>& utf8) {
    std::array<wchar_t, 2> wide;
    const int units = MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(count),
                                          wide.data(), 2);
    const int length = units <= 0
                           ? 0
                           : WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(),
                                                 static_cast<int>(utf8.size()), nullptr, nullptr);
    WipeBytes(wide.data(), sizeof wide);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}
