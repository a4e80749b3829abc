// The pending key-password repair: one at a time, in memory only, wiped as
// soon as it is settled or forgotten.
#include "key_password_repair.h"

#include "key_cell_map.h"
#include "key_fields.h"
#include "secret_wipe.h"

namespace {

KeyPasswordRepair repair;

// Whether an interrupted write of the new field over the old one could have
// left `field`: each cell holds its old byte, its new byte, or is unknown.
bool LeftByTheInterruptedWrite(const TextField& field) {
    for (std::size_t i = 0; i < kFieldCells; ++i) {
        const bool unknown = (repair.unknownCells >> i) & 1;
        if (!unknown && field[i] != repair.oldField[i] && field[i] != repair.newField[i])
            return false;
    }
    return true;
}

// Puts the old field back where `field` differs from it.
SettledRepair PutOldFieldBack(const TextField& field) {
    if (!SameCells(field, repair.oldField)) {
        const FieldWrite write = RestoreCells(kKeyPasswordBase, repair.oldField, kFieldCells);
        if (write.outcome != WriteOutcome::Written) {
            repair.unknownCells |= write.unknownCells;
            return {RepairOutcome::NotRepaired, write.outcome != WriteOutcome::LinkLost};
        }
    }
    const bool factoryInitial = repair.oldField[0] == kFactoryInitialMark;
    ForgetKeyPasswordRepair();
    return {factoryInitial ? RepairOutcome::FactoryInitialBack : RepairOutcome::OldKeyPasswordBack,
            true};
}

SettledRepair Settle(TextField& field) {
    if (!ReadField(kKeyPasswordBase, field)) return {RepairOutcome::NotRepaired, false};
    if (SameCells(field, repair.newField)) {
        ForgetKeyPasswordRepair();
        return {RepairOutcome::NewKeyPasswordHolds, true};
    }
    if (!LeftByTheInterruptedWrite(field)) return {RepairOutcome::None, true};
    return PutOldFieldBack(field);
}

}  // namespace

const KeyPasswordRepair& KeptKeyPasswordRepair() {
    return repair;
}

bool KeyPasswordRepairPending() {
    return repair.pending;
}

SerialNumber PendingRepairSerial() {
    return repair.serial;
}

void ForgetKeyPasswordRepair() {
    WipeSecret(repair.oldField);
    WipeSecret(repair.newField);
    repair = KeyPasswordRepair{};
}

void KeepKeyPasswordRepair(const SerialNumber& serial, const TextField& oldField,
                           const TextField& newField, std::uint16_t unknownCells) {
    ForgetKeyPasswordRepair();
    repair = {true, serial, oldField, newField, unknownCells};
}

SettledRepair SettleKeyPasswordRepair(const SerialNumber& serial) {
    if (!repair.pending || serial != repair.serial) return {RepairOutcome::None, true};
    TextField field{};  // the key password the key holds
    const SettledRepair settled = Settle(field);
    WipeSecret(field);
    return settled;
}
