// The user's language from the POSIX locale variables, in the order the C
// library gives them precedence for messages.
#include <cstdlib>
#include <string_view>

#include "ui_language.h"

Language UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        return std::string_view(value).substr(0, 2) == "ko" ? Language::Korean : Language::English;
    }
    return Language::English;
}
