// Common ground of the key link tests: a fresh link and bus for each test.
#pragma once

#include <gtest/gtest.h>

#include "in_process_transport.h"
#include "key_link.h"
#include "padded_field.h"

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override { inproc::Reset(); }

    static vkey::VirtualKey& Attach(
        vkey::KeyContents contents = vkey::FactoryInitialContents({1, 2, 3, 4}),
        vkey::DeviceConfig config = {}) {
        inproc::Devices().emplace_back(contents, config);
        return inproc::Devices().back();
    }

    static vkey::DeviceConfig Foreign(std::uint16_t vendor, std::uint16_t product) {
        vkey::DeviceConfig config;
        config.vendorId = vendor;
        config.productId = product;
        return config;
    }

    // Attaches a key and opens it; the opening's events are cleared.
    static vkey::VirtualKey& AttachAndOpen(
        vkey::KeyContents contents = vkey::FactoryInitialContents({1, 2, 3, 4}),
        vkey::DeviceConfig config = {}) {
        Attach(contents, config);
        EXPECT_EQ(0x81E1, OpenKey(8));
        inproc::ClearEvents();
        return inproc::Devices().back();
    }

    // The twelve cells of a field, as bytes.
    static std::string Field(const vkey::VirtualKey& key, int base) {
        const auto& cells = key.contents().cells;
        return std::string(cells.begin() + base, cells.begin() + base + 12);
    }

    static std::vector<inproc::WireEventKind> Kinds() {
        std::vector<inproc::WireEventKind> kinds;
        for (const inproc::WireEvent& event : inproc::Events()) kinds.push_back(event.kind);
        return kinds;
    }
};
