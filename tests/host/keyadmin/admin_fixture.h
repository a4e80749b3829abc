// Common ground of the key administration tests: a fresh link, bus and
// window for each test, and the wire written down as short words.
#pragma once

#include <string>
#include <vector>

#include "expected_texts.h"
#include "fake_admin_window.h"
#include "key_admin.h"
#include "link_fixture.h"

// The window handle the operations are given; the boxes must name it.
inline OwnerWindow const kOwner = reinterpret_cast<OwnerWindow>(0x4711);

class AdminTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        fakewin::ResetWindow();
        keyIdentity = KeyIdentity{};
        WipePasswordBuffers();
        ForgetKeyPasswordRepair();
    }

public:
    using LinkTest::Field;  // for the helpers outside the tests too
    using LinkTest::Wire;

    // A fresh bus, window and repair for the next round of a test's loop.
    static void NextRound() {
        inproc::Reset();
        fakewin::ResetWindow();
        ForgetKeyPasswordRepair();
    }

    // Words for `count` cells from `base` on, in ascending order.
    static std::vector<std::string> Cells(char kind, int base, int count) {
        std::vector<std::string> words;
        for (int a = base; a < base + count; ++a) words.push_back(kind + std::to_string(a));
        return words;
    }

    static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    // The values written, in order.
    static std::string WrittenBytes() {
        std::string bytes;
        for (const vkey::DecodedFrame& frame : inproc::SentFrames())
            if (frame.kind == vkey::FrameKind::WriteCell)
                bytes.push_back(static_cast<char>(frame.value));
        return bytes;
    }

    static bool PasswordBuffersWiped() {
        for (const TextField* field :
             {&passwordBuffers.loginPassword, &passwordBuffers.storedKeyPassword,
              &passwordBuffers.newPasswordText, &passwordBuffers.typedCurrentPassword,
              &passwordBuffers.confirmationText})
            for (char c : *field)
                if (c != 0) return false;
        return true;
    }

    static fakewin::FakeWindow& Window() { return fakewin::Window(); }

    // Attaches a key with these fields, as the last refresh found it.
    static vkey::VirtualKey& Provisioned(const std::string& keyPassword,
                                         const std::string& loginPassword) {
        keyIdentity.status = KeyStatus::Connected;
        keyIdentity.serial = {1, 2, 3, 4};
        return Attach(vkey::ProvisionedContents({1, 2, 3, 4}, keyPassword, "alice", loginPassword));
    }

    // Attaches a factory-initial key, as the last refresh found it.
    static vkey::VirtualKey& FactoryInitial() {
        keyIdentity.status = KeyStatus::Initial;
        keyIdentity.serial = {1, 2, 3, 4};
        return Attach(vkey::FactoryInitialContents({1, 2, 3, 4}));
    }

    // The only box shown; a failure when there is none or more.
    static const fakewin::MessageBoxCall& OnlyBox() {
        static const fakewin::MessageBoxCall none{};
        EXPECT_EQ(1u, Window().boxes.size());
        return Window().boxes.size() == 1 ? Window().boxes[0] : none;
    }
};

// The success text of the login-password display.
inline std::string Shown(const std::string& loginPassword) {
    return expected::kShownBefore + loginPassword + expected::kShownAfter;
}
