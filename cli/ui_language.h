// The language of the user's interface, as the platform says: the locale
// on Linux (LC_ALL, then LC_MESSAGES, then LANG), the user's UI language on
// Windows. Korean when it is Korean, English otherwise.
#pragma once

#include "messages.h"

Language UserLanguage();
