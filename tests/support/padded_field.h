// A key field as the tests expect it: its twelve cells as bytes.
#pragma once

#include <string>

// Twelve bytes of a field: the text, then zeros.
inline std::string Padded(const std::string& text) {
    std::string field = text;
    field.resize(12, '\0');
    return field;
}
