// Common ground of the key link tests: a fresh link and bus for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

    // The frames the key took: "S1" for serial byte 1, "R40" for reading
    // cell 40, "W40" for writing it.
    static std::vector<std::string> Wire() {
        std::vector<std::string> words;
        for (const vkey::DecodedFrame& frame : inproc::SentFrames()) {
            switch (frame.kind) {
                case vkey::FrameKind::ReadSerial:
                    words.push_back("S" + std::to_string(frame.serialIndex));
                    break;
                case vkey::FrameKind::ReadCell:
                    words.push_back("R" + std::to_string(frame.address));
                    break;
                case vkey::FrameKind::WriteCell:
                    words.push_back("W" + std::to_string(frame.address));
                    break;
                default:
                    words.push_back("?");
            }
        }
        return words;
    }

    static std::vector<inproc::WireEventKind> Kinds() {
        std::vector<inproc::WireEventKind> kinds;
        for (const inproc::WireEvent& event : inproc::Events()) kinds.push_back(event.kind);
        return kinds;
    }
};
