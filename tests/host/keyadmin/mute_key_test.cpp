// A key that stops answering, or stops taking output reports, at any
// exchange of any operation costs the operation one timeout and no more: it
// stops at that exchange, reports the key gone or the change failed, and
// shows nothing it did not get.
#include "admin_fixture.h"
#include "expected_texts.h"
#include "key_password_repair.h"

namespace {

using inproc::WireEventKind;
using MuteKeyTest = AdminTest;

struct Operation {
    const char* name;
    void (*arrange)();
    int (*run)();
    int exchanges;  // when the key answers throughout
};

const Operation kOperations[] = {
    {"refresh", [] { AdminTest::Provisioned("secret", "hunter2"); },
     [] { return RefreshKeyStatus(); }, 18},
    {"display",
     [] {
         AdminTest::Provisioned("secret", "hunter2");
         fakewin::ViewForm("secret");
     },
     [] { return ShowLoginPassword(kOwner); }, 25},
    {"login password change",
     [] {
         AdminTest::Provisioned("secret", "hunter2");
         fakewin::LoginChangeForm("secret", "newlogin");
     },
     [] { return ChangePassword(kOwner); }, 26},
    {"key password change",
     [] {
         AdminTest::Provisioned("secret", "hunter2");
         fakewin::KeyChangeForm("secret", "newkey", "newkey");
     },
     [] { return ChangePassword(kOwner); }, 26},
    {"first key password",
     [] {
         AdminTest::FactoryInitial();
         fakewin::KeyChangeForm("", "first", "first");
     },
     [] { return ChangePassword(kOwner); }, 26},
};

// The key falls mute after `answered` exchanges of the operation, which
// then costs one timeout, stops there and finds the key gone.
void MuteAndRun(vkey::VirtualKey& key, bool silent, int answered, const Operation& operation) {
    if (silent)
        key.SilentAfter(answered);
    else
        key.StopTakingWritesAfter(answered);
    operation.run();
    EXPECT_EQ(
        1, inproc::Count(WireEventKind::ReadTimeout) + inproc::Count(WireEventKind::WriteTimeout));
    EXPECT_EQ(answered + (silent ? 1 : 0), key.exchanges());
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
}

TEST_F(MuteKeyTest, OneTimeoutWhereverTheKeyFallsMute) {
    for (const Operation& operation : kOperations) {
        for (const bool silent : {true, false}) {
            for (int answered = 0; answered < operation.exchanges; ++answered) {
                SCOPED_TRACE(std::string(operation.name) +
                             (silent ? ", silent after " : ", taking no writes after ") +
                             std::to_string(answered));
                NextRound();
                operation.arrange();
                vkey::VirtualKey& key = inproc::Devices()[0];
                MuteAndRun(key, silent, answered, operation);
                for (const fakewin::MessageBoxCall& box : Window().boxes)
                    EXPECT_EQ(MessageIcon::Warning, box.icon) << box.text;
                if (operation.run == kOperations[0].run)
                    EXPECT_EQ(std::vector<std::string>{expected::kNotFoundStatus},
                              Window().statusTexts);
                else
                    EXPECT_EQ(1u, Window().boxes.size());
            }
        }
    }
}

}  // namespace

// The same while a key-password repair is pending for the key: wherever the
// key falls mute, the repair stays pending until its last write has echoed,
// and is told as not done once the key was known by its serial number.
TEST_F(MuteKeyTest, OneTimeoutWhereverTheKeyFallsMuteDuringARepair) {
    const Operation operations[] = {
        {"refresh", [] { fakewin::ResetWindow(); }, [] { return RefreshKeyStatus(kOwner); }, 42},
        {"display", [] { fakewin::ViewForm("secret"); }, [] { return ShowLoginPassword(kOwner); },
         53},
        {"key password change", [] { fakewin::KeyChangeForm("secret", "newkey", "newkey"); },
         [] { return ChangePassword(kOwner); }, 54},
    };
    // Presence, serial number, the field read, the old field written back;
    // then the change reads the key password and writes its own.
    constexpr int kSerialRead = 5, kRepaired = 5 + 12 + 12, kChangeWrites = kRepaired + 12;
    const std::string old = Padded("secret"), interrupted = Padded("NEWret");
    TextField oldField{}, newField{};
    std::copy(old.begin(), old.end(), oldField.begin());
    std::copy_n("NEWKEY", 6, newField.begin());
    for (const Operation& operation : operations) {
        for (const bool silent : {true, false}) {
            for (int answered = 0; answered < operation.exchanges; ++answered) {
                SCOPED_TRACE(std::string(operation.name) +
                             (silent ? ", silent after " : ", taking no writes after ") +
                             std::to_string(answered));
                inproc::Reset();
                vkey::VirtualKey& key = AdminTest::Provisioned("secret", "hunter2");
                std::copy(interrupted.begin(), interrupted.end(),
                          key.contents().cells.begin() + 40);
                KeepKeyPasswordRepair({1, 2, 3, 4}, oldField, newField, 0);
                operation.arrange();
                MuteAndRun(key, silent, answered, operation);
                // A change interrupted in its own writes leaves a repair of its own.
                const bool change = operation.run == operations[2].run;
                const bool ownWrites = change && answered >= kChangeWrites;
                EXPECT_EQ(answered < kRepaired || ownWrites, KeyPasswordRepairPending());
                const std::vector<fakewin::MessageBoxCall>& boxes = Window().boxes;
                const char* repairBox = answered < kSerialRead ? nullptr
                                        : answered < kRepaired ? expected::kNotRepaired
                                                               : expected::kRepairOldBack;
                if (repairBox) {
                    ASSERT_FALSE(boxes.empty());
                    EXPECT_EQ(repairBox, boxes[0].text);
                }
                const std::size_t repairBoxes = repairBox ? 1 : 0;
                EXPECT_EQ(repairBoxes + (operation.run == operations[0].run ? 0 : 1), boxes.size());
                if (answered >= kRepaired && !ownWrites) {
                    EXPECT_EQ(old, Field(key, 40));
                }
            }
        }
    }
}
