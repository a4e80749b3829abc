// Common ground of the command line's host tests: virtual keys in-process,
// the scripted terminal, and the command line run as a user runs it, by its
// arguments.
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <string>
#include <vector>

#include "command_line.h"
#include "fake_clock.h"
#include "key_operations.h"
#include "key_transport.h"
#include "link_fixture.h"
#include "messages.h"
#include "password_buffers.h"
#include "passwords.h"
#include "scripted_terminal.h"

inline constexpr std::array<std::uint8_t, 4> kSerialA{0x4B, 0x41, 0xD0, 0x01};
inline constexpr std::array<std::uint8_t, 4> kSerialB{0x4B, 0x41, 0xD0, 0x02};
inline constexpr std::array<std::uint8_t, 4> kSerialC{0x4B, 0x41, 0xD0, 0x03};

// What set-key-password is typed: the key password, a new one twice.
inline const std::vector<std::string> kKeyPasswordChange{"1234", "abcdefgh", "abcdefgh"};

class CliTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        term::Reset();
        UseLanguage(Language::English);
        WipePasswordBuffers();
        WipeTypedTexts();
        ForgetKeyPasswordRepair();
    }
    void TearDown() override { EXPECT_FALSE(term::Console().runaway) << "a wait never ended"; }

public:
    // Runs keyadmin-cli with these arguments: its exit code.
    static int Run(const std::vector<const char*>& arguments) {
        std::vector<const char*> argv{"keyadmin-cli"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunCommandLine(static_cast<int>(argv.size()), argv.data());
    }

    // Lines for standard input, in turn.
    static void Type(const std::vector<std::string>& lines) {
        term::Console().typed.assign(lines.begin(), lines.end());
    }

    static vkey::VirtualKey& InUse(std::array<std::uint8_t, 4> serial,
                                   const std::string& keyPassword = "1234",
                                   const std::string& loginId = "demo-user",
                                   const std::string& loginPassword = "demo-pass1") {
        return Attach(vkey::ProvisionedContents(serial, keyPassword, loginId, loginPassword));
    }

    static vkey::VirtualKey& Fresh(std::array<std::uint8_t, 4> serial) {
        return Attach(vkey::FactoryInitialContents(serial));
    }

    static const std::string& Out() { return term::Console().out; }
    static const std::string& Err() { return term::Console().err; }

    static nlohmann::json Document() {
        return nlohmann::json::parse(Out(), nullptr, /*allow_exceptions=*/false);
    }

    static int CellWrites() {
        int writes = 0;
        for (const vkey::DecodedFrame& frame : inproc::SentFrames())
            writes += frame.kind == vkey::FrameKind::WriteCell;
        return writes;
    }

    // The number of output reports the key takes, in a rehearsal on a copy of
    // the devices, before the write to `address`: for faults that strike there.
    static int ExchangesBeforeWrite(const std::vector<const char*>& arguments,
                                    const std::vector<std::string>& typed, std::uint8_t address) {
        const std::vector<vkey::VirtualKey> devices = inproc::Devices();
        const term::Terminal terminal = term::Console();
        Type(typed);
        Run(arguments);
        int exchanges = 0, found = -1;
        for (const vkey::DecodedFrame& frame : inproc::SentFrames()) {
            if (found < 0 && frame.kind == vkey::FrameKind::WriteCell && frame.address == address)
                found = exchanges;
            ++exchanges;
        }
        inproc::Devices() = devices;
        inproc::ClearEvents();
        term::Console() = terminal;
        ForgetKeyPasswordRepair();
        return found;
    }

    static bool SecretsWiped() {
        for (const TextField* field :
             {&passwordBuffers.loginPassword, &passwordBuffers.storedKeyPassword,
              &passwordBuffers.newPasswordText, &passwordBuffers.typedCurrentPassword,
              &passwordBuffers.confirmationText, &typedTexts.currentKeyPassword,
              &typedTexts.newPassword, &typedTexts.confirmation})
            for (char c : *field)
                if (c != 0) return false;
        return true;
    }

    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};
