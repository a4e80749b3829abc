// Common ground of the Windows tests against the virtual-key server: one
// server for each test process, started with its heap checker on; no device
// and no key opened at the start of each test; the server's replies read
// back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "key_link.h"
#include "server_control.h"

using server::IdOf;

// Milliseconds that `operation` took.
template <typename Operation>
DWORD Elapsed(Operation operation) {
    const DWORD start = GetTickCount();
    operation();
    return GetTickCount() - start;
}

class ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(server::Start()) << "no virtual-key server"; }
    static void TearDownTestSuite() { EXPECT_TRUE(server::Stop()) << "the server did not end"; }
    void SetUp() override {
        Control("clear");
        ChooseKeyPath("");  // the first key found, whatever a test before chose
        // No key opened at the start: with no device listed, the discovery
        // finds nothing. (It closes nothing either: handles an earlier test
        // left open stay open, on devices that are gone, until the next
        // discovery that finds a key.)
        OpenKey(8);
        ASSERT_EQ(0, keyLink.linkState);
    }
};
