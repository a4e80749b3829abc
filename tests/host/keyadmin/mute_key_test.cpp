// A key that stops answering, or stops taking output reports, at any
// exchange of any operation costs the operation one timeout and no more: it
// stops at that exchange, reports the key gone or the change failed, and
// shows nothing it did not get.
#include "admin_fixture.h"
#include "expected_texts.h"

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

TEST_F(MuteKeyTest, OneTimeoutWhereverTheKeyFallsMute) {
    for (const Operation& operation : kOperations) {
        for (const bool silent : {true, false}) {
            for (int answered = 0; answered < operation.exchanges; ++answered) {
                SCOPED_TRACE(std::string(operation.name) +
                             (silent ? ", silent after " : ", taking no writes after ") +
                             std::to_string(answered));
                inproc::Reset();
                fakewin::ResetWindow();
                operation.arrange();
                vkey::VirtualKey& key = inproc::Devices()[0];
                if (silent)
                    key.SilentAfter(answered);
                else
                    key.StopTakingWritesAfter(answered);
                operation.run();

                EXPECT_EQ(1, inproc::Count(WireEventKind::ReadTimeout) +
                                 inproc::Count(WireEventKind::WriteTimeout));
                EXPECT_EQ(answered + (silent ? 1 : 0), key.exchanges());
                EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
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
