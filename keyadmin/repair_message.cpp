// The box that tells which key password holds after a repair.
#include <array>

#include "admin_texts.h"
#include "key_admin.h"

namespace {

struct RepairMessage {
    RepairOutcome repair;
    const char* text;
    MessageIcon icon;
};

constexpr std::array<RepairMessage, 4> kRepairMessages{{
    {RepairOutcome::NewKeyPasswordHolds, kRepairNewKeyPasswordHoldsMessage,
     MessageIcon::Information},
    {RepairOutcome::OldKeyPasswordBack, kRepairOldKeyPasswordBackMessage, MessageIcon::Information},
    {RepairOutcome::FactoryInitialBack, kRepairFactoryInitialBackMessage, MessageIcon::Information},
    {RepairOutcome::NotRepaired, kKeyPasswordNotRepairedMessage, MessageIcon::Warning},
}};

}  // namespace

void ShowRepairOutcome(OwnerWindow window, RepairOutcome repair) {
    for (const RepairMessage& message : kRepairMessages)
        if (message.repair == repair)
            ShowMessage(window, message.text, kChangeKeyPasswordCaption, message.icon);
}
