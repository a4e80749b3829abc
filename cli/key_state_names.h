// The state of a key as the output names it: a fixed English word for the
// JSON document, a text in the user's language for the lines.
#pragma once

#include <string>
#include <string_view>

#include "key_choice.h"

std::string_view StateName(const KeyFacts& key);
std::string StateText(const KeyFacts& key);
