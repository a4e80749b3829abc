// Field transfers, one cell per exchange.
#include "key_fields.h"

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
FieldWrite WriteCells(std::uint8_t base, const TextField& bytes, std::size_t count,
                      bool stopAtRefusal) {
    FieldWrite write{WriteOutcome::Written, 0, 0};
    while (write.cellsSent < count) {
        const std::size_t i = write.cellsSent++;
        const auto value = static_cast<std::uint8_t>(bytes[i]);
        const std::uint8_t echo = WriteCell(static_cast<std::uint8_t>(base + i), value);
        const bool lost = LastExchangeFailed();
        if (!lost && echo == value) continue;
        write.unknownCells |= static_cast<std::uint16_t>(1u << i);
        if (lost) {
            write.outcome = WriteOutcome::LinkLost;
            break;
        }
        write.outcome = WriteOutcome::Refused;
        if (stopAtRefusal) break;
    }
    return write;
}

}  // namespace

FieldWrite WriteField(std::uint8_t base, const TextField& text) {
    return WriteCells(base, text, kFieldCells, true);
}

FieldWrite RestoreCells(std::uint8_t base, const TextField& old, std::size_t count) {
    return WriteCells(base, old, count, false);
}
