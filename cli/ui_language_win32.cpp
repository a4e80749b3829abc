// The user's language from the Windows UI language.
#include <windows.h>

#include "ui_language.h"

Language UserLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_KOREAN ? Language::Korean
                                                                    : Language::English;
}
