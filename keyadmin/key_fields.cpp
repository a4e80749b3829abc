// Field transfers, one cell per exchange.
#include "key_fields.h"

#include <algorithm>

#include "key_cell_map.h"
#include "key_link.h"

bool ReadField(std::uint8_t base, TextField& field) {
    std::fill(field.begin() + kFieldCells, field.end(), 0);
    for (std::size_t i = 0; i < kFieldCells; ++i) {
        field[i] = static_cast<char>(ReadCell(static_cast<std::uint8_t>(base + i)));
        if (LastExchangeFailed()) return false;
    }
    return true;
}

WriteOutcome WriteField(std::uint8_t base, const TextField& text) {
    WriteOutcome outcome = WriteOutcome::Written;
    for (std::size_t i = 0; i < kFieldCells; ++i) {
        const auto value = static_cast<std::uint8_t>(text[i]);
        const std::uint8_t echo = WriteCell(static_cast<std::uint8_t>(base + i), value);
        if (LastExchangeFailed()) return WriteOutcome::LinkLost;
        if (echo != value) outcome = WriteOutcome::Refused;
    }
    return outcome;
}
