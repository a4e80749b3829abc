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

namespace {

// Writes cells base to base + count - 1 from `bytes`, stopping at the first
// exchange without a reply and, when `stopAtRefusal`, at the first echo that
// differs from its byte.
WriteOutcome WriteCells(std::uint8_t base, const TextField& bytes, std::size_t count,
                        bool stopAtRefusal, std::size_t& cellsSent) {
    WriteOutcome outcome = WriteOutcome::Written;
    for (cellsSent = 0; cellsSent < count;) {
        const auto value = static_cast<std::uint8_t>(bytes[cellsSent]);
        const std::uint8_t echo = WriteCell(static_cast<std::uint8_t>(base + cellsSent), value);
        ++cellsSent;
        if (LastExchangeFailed()) return WriteOutcome::LinkLost;
        if (echo == value) continue;
        outcome = WriteOutcome::Refused;
        if (stopAtRefusal) break;
    }
    return outcome;
}

}  // namespace

WriteOutcome WriteField(std::uint8_t base, const TextField& text, std::size_t& cellsSent) {
    return WriteCells(base, text, kFieldCells, true, cellsSent);
}

bool RestoreCells(std::uint8_t base, const TextField& old, std::size_t count) {
    std::size_t cellsSent = 0;
    return WriteCells(base, old, count, false, cellsSent) != WriteOutcome::LinkLost;
}
