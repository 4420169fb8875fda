// The instruction exercisers zexdoc and zexall, run as CP/M programs: each test group prints its
// name and "OK", or "ERROR" with the CRC it expected and the one it found.
#include "core/Z80.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using rix::emu::Z80;

constexpr std::uint16_t kBdosTrap = 0xFE00; // top of the program's memory, below it the stack
constexpr std::uint8_t kBdosPort = 0x00;

// The part of CP/M the exercisers use: a warm-boot vector at 0000h that stops the CPU, and the
// BDOS entry at 0005h whose console-output functions (2: the character in E; 9: the string at DE
// up to "$") are trapped through an OUT.
class CpmMachine {
public:
    explicit CpmMachine(const std::vector<std::uint8_t>& program) {
        memory_[0x0000] = 0xF3; // DI
        memory_[0x0001] = 0x76; // HALT
        memory_[0x0005] = 0xC3; // JP kBdosTrap; the exercisers also read the stack top here
        memory_[0x0006] = kBdosTrap & 0xFF;
        memory_[0x0007] = kBdosTrap >> 8;
        memory_[kBdosTrap + 0] = 0xD3; // OUT (kBdosPort),A
        memory_[kBdosTrap + 1] = kBdosPort;
        memory_[kBdosTrap + 2] = 0xC9; // RET
        std::copy(program.begin(), program.end(), memory_.begin() + 0x100);
        cpu_.MapRead(0, 0x10000, memory_.data());
        cpu_.MapWrite(0, 0x10000, memory_.data());
        cpu_.SetPortCallbacks(this, nullptr, &CpmMachine::PortWrite);
        auto state = cpu_.State();
        state.pc = 0x100;
        cpu_.SetState(state);
    }

    // Runs until the program jumps to 0000h, or the cycle limit; returns whether it ended.
    bool RunToEnd(std::uint64_t cycleLimit) {
        while (!cpu_.State().halted && cpu_.ElapsedCycles() < cycleLimit) {
            cpu_.Run(10'000'000);
        }
        if (!line_.empty()) {
            Print('\n'); // the last message has no line end
        }
        return cpu_.State().halted && cpu_.State().pc == 0x0002;
    }

    const std::vector<std::string>& Lines() const { return lines_; }
    std::uint64_t Cycles() const { return cpu_.ElapsedCycles(); }

private:
    static void PortWrite(void* context, std::uint16_t port, std::uint8_t) {
        auto& self = *static_cast<CpmMachine*>(context);
        if ((port & 0xFF) != kBdosPort) {
            return;
        }
        const auto& s = self.cpu_.State();
        if (s.c == 2) {
            self.Print(static_cast<char>(s.e));
        } else if (s.c == 9) {
            for (unsigned address = static_cast<unsigned>(s.d << 8 | s.e);
                 self.memory_[address & 0xFFFF] != '$'; ++address) {
                self.Print(static_cast<char>(self.memory_[address & 0xFFFF]));
            }
        }
    }

    // Echoes whole lines at once so that the test log shows the groups as they finish.
    void Print(char ch) {
        if (ch == '\n') {
            std::cout << line_ << std::endl;
            lines_.push_back(line_);
            line_.clear();
        } else if (ch != '\r') {
            line_ += ch;
        }
    }

    std::array<std::uint8_t, 0x10000> memory_{};
    Z80 cpu_;
    std::string line_;
    std::vector<std::string> lines_;
};

class Exerciser : public ::testing::TestWithParam<const char*> {};

TEST_P(Exerciser, PassesEveryGroup) {
    const std::string path = std::string(RIX_TESTDATA_DIR) + "/z80/" + GetParam();
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "missing test program " << path;
    const std::vector<std::uint8_t> program((std::istreambuf_iterator<char>(file)),
                                            std::istreambuf_iterator<char>());
    ASSERT_GT(program.size(), 0x100u);

    CpmMachine machine(program);
    // Each takes about 46.7 billion cycles; the limit only stops a runaway.
    const bool ended = machine.RunToEnd(60'000'000'000ull);
    std::cout << machine.Cycles() << " cycles" << std::endl;
    EXPECT_TRUE(ended) << "the program did not return to CP/M";

    int passed = 0;
    for (const std::string& line : machine.Lines()) {
        if (line.find("ERROR") != std::string::npos) {
            ADD_FAILURE() << line;
        } else if (line.find("OK") != std::string::npos) {
            ++passed;
        }
    }
    // Every group reports; a run cut short reports fewer.
    EXPECT_EQ(passed, 67);
    ASSERT_FALSE(machine.Lines().empty());
    EXPECT_EQ(machine.Lines().back(), "Tests complete");
}

INSTANTIATE_TEST_SUITE_P(Z80, Exerciser, ::testing::Values("zexdoc.com", "zexall.com"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
