// Reading the image's menu and game pages off the screen, shared by the menu tests.
#pragma once

#include "GbaMachine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace rix::test {

inline constexpr int kMenuDeadline = 20; // frames from reset to the first menu frame
inline constexpr const char* kTitle = " Rix - ColecoVision games";
inline constexpr const char* kReading = "(reading...)";

using Rows = std::vector<std::string>;

inline bool Contains(const Rows& rows, const std::string& text) {
    for (const std::string& row : rows) {
        if (row.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The value beside a label on the game page ("Size       64 bytes" -> "64 bytes").
inline std::string Value(const Rows& rows, const std::string& label) {
    constexpr std::size_t kValueColumn = 12;
    for (const std::string& row : rows) {
        if (row.size() > kValueColumn && row.compare(1, label.size(), label) == 0 &&
            row.find_first_not_of(' ', 1 + label.size()) == kValueColumn) {
            return row.substr(kValueColumn);
        }
    }
    return "<no " + label + ">";
}

// Boots the cartridge, checks the first screen shows within the deadline, and waits until no
// name is still being read.
inline std::unique_ptr<GbaMachine> Boot(const std::vector<std::uint8_t>& cartridge) {
    auto machine = std::make_unique<GbaMachine>(cartridge);
    const int first = machine->RunUntil([&] { return !machine->Text()[0].empty(); }, kMenuDeadline);
    EXPECT_GE(first, 0) << "no screen within " << kMenuDeadline << " frames";
    machine->RunUntil([&] { return !Contains(machine->Text(), kReading); }, 600);
    return machine;
}

} // namespace rix::test
