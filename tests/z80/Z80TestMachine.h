// A Z80 with 64 KiB of RAM and recorded port traffic, for the core's tests.
#pragma once

#include "core/Z80.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace rix::test {

struct PortAccess {
    bool write = false;
    std::uint16_t port = 0;
    std::uint8_t value = 0;
    std::uint64_t cycle = 0; // ElapsedCycles() seen by the callback

    bool operator==(const PortAccess&) const = default;
};

class Z80TestMachine {
public:
    Z80TestMachine() {
        cpu.MapRead(0, 0x10000, memory.data());
        cpu.MapWrite(0, 0x10000, memory.data());
        cpu.SetPortCallbacks(this, &Z80TestMachine::In, &Z80TestMachine::Out);
    }
    Z80TestMachine(const Z80TestMachine&) = delete;
    Z80TestMachine& operator=(const Z80TestMachine&) = delete;

    void Load(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) {
            memory[address++] = b;
        }
    }
    void Load(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t b : bytes) {
            memory[address++] = b;
        }
    }
    std::uint16_t Word(std::uint16_t address) const {
        return static_cast<std::uint16_t>(memory[address] | memory[(address + 1) & 0xFFFF] << 8);
    }

    std::array<std::uint8_t, 0x10000> memory{};
    rix::emu::Z80 cpu;
    std::uint8_t portValue = 0xFF; // what every port read returns
    std::vector<PortAccess> ports;

private:
    static std::uint8_t In(void* context, std::uint16_t port) {
        auto& self = *static_cast<Z80TestMachine*>(context);
        self.ports.push_back({false, port, self.portValue, self.cpu.ElapsedCycles()});
        return self.portValue;
    }
    static void Out(void* context, std::uint16_t port, std::uint8_t value) {
        auto& self = *static_cast<Z80TestMachine*>(context);
        self.ports.push_back({true, port, value, self.cpu.ElapsedCycles()});
    }
};

} // namespace rix::test
