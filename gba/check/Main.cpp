// The Z80 check image: runs random instructions from random states on the GBA's ARM core and on
// the C++ interpreter (RunPortable) side by side, in the same image, and leaves the first
// difference (or none) at kCheckResults for a host to read. Built by `make -C gba check`;
// never part of the cartridge image. With a CP/M program appended (check::ProgramHeader), it runs
// that on the ARM core instead: the exercisers, with their console output at kCheckText. With a
// cartridge appended (check::CartridgeHeader), two machines run it in lockstep, one on each core.
#include <stdint.h>
#include <string.h>

#include "check/Check.h"
#include "core/Machine.h"
#include "core/Renderer.h"
#include "core/Z80.h"

extern "C" {
volatile uint32_t gVblankCount;
extern const char __rix_image_end[];
int main();
}

namespace {

using rix::check::Results;
using rix::check::Side;
using rix::emu::Z80;
using rix::emu::Z80State;

[[gnu::section(".ewram_bss")]] uint8_t gMemory[0x10000];
Z80 gArm;
[[gnu::section(".ewram_bss")]] Z80 gPortable;

uint32_t gSeed = 0x2468ACE1;
uint32_t Random() {
    gSeed ^= gSeed << 13;
    gSeed ^= gSeed >> 17;
    gSeed ^= gSeed << 5;
    return gSeed;
}

Results& Out() {
    return *reinterpret_cast<Results*>(rix::check::kCheckResults);
}

// Writes and port traffic go to a log, so that both cores see the same memory and the same
// port answers, and what they did can be compared.
void Log(Side& side, uint32_t entry) {
    if (side.count < rix::check::kLogSize) {
        side.log[side.count] = entry;
    }
    ++side.count;
}
void Write(void* context, uint16_t address, uint8_t value) {
    Log(*static_cast<Side*>(context), 0x01000000u | uint32_t(address) << 8 | value);
}
uint8_t PortRead(void* context, uint16_t port) {
    auto& side = *static_cast<Side*>(context);
    Log(side, 0x02000000u | port);
    return uint8_t(port * 7 + side.count * 13);
}
void PortWrite(void* context, uint16_t port, uint8_t value) {
    Log(*static_cast<Side*>(context), 0x03000000u | uint32_t(port) << 8 | value);
}

void Prepare(Z80& cpu, Side& side) {
    cpu.MapRead(0, 0x10000, gMemory);
    cpu.MapWrite(0, 0x10000, nullptr);
    cpu.SetMemoryCallbacks(&side, nullptr, Write);
    cpu.SetPortCallbacks(&side, PortRead, PortWrite);
}

Z80State RandomState() {
    Z80State s;
    auto* bytes = reinterpret_cast<uint8_t*>(&s);
    for (int i = 0; i < 16; ++i) {
        bytes[i] = uint8_t(Random());
    }
    s.ix = uint16_t(Random());
    s.iy = uint16_t(Random());
    // Now and then at the edge of 64 KiB, so that pushes and pops go round it.
    s.sp = (Random() & 7) == 0 ? uint16_t(0xFFFE + (Random() & 3)) : uint16_t(Random());
    s.pc = uint16_t(Random() & 0xFFF8);
    s.wz = uint16_t(Random());
    s.i = uint8_t(Random());
    s.r = uint8_t(Random());
    s.im = uint8_t(Random() % 3);
    s.iff1 = s.iff2 = (Random() & 7) == 0;
    s.cycles = Random();
    return s;
}

// The part of CP/M the exercisers use: a warm boot at 0000h that halts, and the BDOS entry at
// 0005h whose console output (2: the character in E; 9: the string at DE up to "$") goes out
// through port 0.
constexpr uint16_t kBdosTrap = 0xFE00;

rix::check::Text& ConsoleText() {
    return *reinterpret_cast<rix::check::Text*>(rix::check::kCheckText);
}

void Print(char ch) {
    rix::check::Text& out = ConsoleText();
    if (out.length < rix::check::kCheckTextSize) {
        out.text[out.length] = ch;
    }
    ++out.length;
}

void BdosWrite(void*, uint16_t port, uint8_t) {
    if ((port & 0xFF) != 0) {
        return;
    }
    const Z80State& s = gArm.State();
    if (s.c == 2) {
        Print(char(s.e));
    } else if (s.c == 9) {
        for (unsigned address = unsigned(s.d << 8 | s.e); gMemory[address & 0xFFFF] != '$';
             ++address) {
            Print(char(gMemory[address & 0xFFFF]));
        }
    }
}

void RunProgram(const rix::check::ProgramHeader& header) {
    rix::check::Text& out = ConsoleText();
    memset(&out, 0, sizeof out);
    memset(gMemory, 0, sizeof gMemory);
    gMemory[0x0000] = 0xF3; // DI
    gMemory[0x0001] = 0x76; // HALT
    gMemory[0x0005] = 0xC3; // JP kBdosTrap
    gMemory[0x0006] = kBdosTrap & 0xFF;
    gMemory[0x0007] = kBdosTrap >> 8;
    gMemory[kBdosTrap + 0] = 0xD3; // OUT (0),A
    gMemory[kBdosTrap + 1] = 0x00;
    gMemory[kBdosTrap + 2] = 0xC9; // RET
    memcpy(&gMemory[0x100], reinterpret_cast<const uint8_t*>(&header + 1), header.size);
    gArm.MapRead(0, 0x10000, gMemory);
    gArm.MapWrite(0, 0x10000, gMemory);
    gArm.SetPortCallbacks(nullptr, nullptr, BdosWrite);
    Z80State state = gArm.State();
    state.pc = 0x100;
    gArm.SetState(state);
    while (!gArm.State().halted) {
        gArm.Run(1000000);
    }
    out.ended = gArm.State().pc == 0x0002 ? 1 : 2;
}

// The results are in place; the host reads them from here on.
[[noreturn]] void Halt() {
    for (;;) {
        asm volatile("" ::: "memory");
    }
}

// The lockstep: each machine's renderer keeps the Z80's state behind every line.
class LineStates final : public rix::emu::VideoRenderer {
public:
    explicit LineStates(const Z80& cpu) : VideoRenderer(true), cpu_(cpu) {}
    void Line(const rix::emu::Vdp&, int line) override { states[line] = cpu_.State(); }
    Z80State states[rix::emu::Machine::kLinesPerFrame];

private:
    const Z80& cpu_;
};

uint8_t gRamArm[rix::emu::Machine::kRamSize];
[[gnu::section(".ewram_bss")]] uint8_t gRamPortable[rix::emu::Machine::kRamSize];
[[gnu::section(".ewram_bss")]] rix::emu::Machine gMachineArm(gArm, gRamArm);
[[gnu::section(".ewram_bss")]] rix::emu::Machine gMachinePortable(gPortable, gRamPortable);
[[gnu::section(".ewram_bss")]] LineStates gLinesArm(gArm);
[[gnu::section(".ewram_bss")]] LineStates gLinesPortable(gPortable);

void RunLockstep(const rix::check::CartridgeHeader& header) {
    Results& out = Out();
    memset(&out, 0, sizeof out);
    rix::emu::MachineConfig config;
    config.rom = reinterpret_cast<const uint8_t*>(&header + 1);
    config.romSize = header.size;
    gMachineArm.Load(config);
    gMachinePortable.Load(config);
    gMachineArm.SetSoundClocked(false);
    gMachinePortable.SetSoundClocked(false);
    gPortable.SetPortableOnly(true);
    for (uint32_t frame = 1; frame <= header.frames; ++frame) {
        uint16_t keys = 0;
        for (uint32_t i = 0; i < header.pressCount && i < rix::check::kMaxPresses; ++i) {
            const rix::check::Press& press = header.presses[i];
            if (frame >= press.first && frame <= press.last) {
                keys = uint16_t(keys | press.keys);
            }
        }
        gMachineArm.SetKeys(keys);
        gMachinePortable.SetKeys(keys);
        gMachineArm.RunFrame(gLinesArm);
        gMachinePortable.RunFrame(gLinesPortable);
        out.frame = frame;
        for (int line = 0; line < rix::emu::Machine::kLinesPerFrame; ++line) {
            if (!(gLinesArm.states[line] == gLinesPortable.states[line])) {
                out.failed = 1;
                out.line = uint32_t(line);
                out.before = line > 0 ? gLinesPortable.states[line - 1] : out.before;
                out.afterArm = gLinesArm.states[line];
                out.afterPortable = gLinesPortable.states[line];
                return;
            }
        }
        if (memcmp(gRamArm, gRamPortable, sizeof gRamArm) != 0) {
            out.failed = 1;
            out.line = rix::emu::Machine::kLinesPerFrame;
            return;
        }
        // Kept fresh for the report: the state at the end of the frame before.
        out.before = gLinesPortable.states[rix::emu::Machine::kLinesPerFrame - 1];
    }
}

} // namespace

int main() {
    const auto& cartridge = *reinterpret_cast<const rix::check::CartridgeHeader*>(__rix_image_end);
    if (cartridge.magic == rix::check::kCartridgeMagic) {
        RunLockstep(cartridge);
        Out().cases = Out().frame;
        Out().marker = rix::check::kDoneMarker;
        Halt();
    }
    const auto& header = *reinterpret_cast<const rix::check::ProgramHeader*>(__rix_image_end);
    if (header.magic == rix::check::kProgramMagic && header.size <= 0x10000 - 0x200) {
        RunProgram(header);
        Halt();
    }
    Results& out = Out();
    memset(&out, 0, sizeof out);
    for (uint32_t i = 0; i < sizeof gMemory; ++i) {
        gMemory[i] = uint8_t(Random());
    }
    for (uint32_t c = 0; c < rix::check::kCases; ++c) {
        const Z80State before = RandomState();
        // The instruction: a prefix now and then, so that every group gets its share.
        const uint32_t r = Random();
        uint8_t code[4] = {uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16), uint8_t(r >> 24)};
        static constexpr uint8_t kPrefixes[4] = {0xCB, 0xDD, 0xED, 0xFD};
        if ((r & 3) == 0) {
            code[0] = kPrefixes[(r >> 2) & 3];
            if ((code[0] == 0xDD || code[0] == 0xFD) && (r & 0x30) == 0) {
                code[1] = 0xCB;
            }
        }
        memcpy(&gMemory[before.pc], code, sizeof code);
        memcpy(out.code, code, sizeof code);
        out.before = before;
        const int budget = 1 + int(Random() % 48);
        out.arm.count = out.portable.count = 0;
        Prepare(gArm, out.arm);
        gArm.SetState(before);
        const int overArm = gArm.Run(budget);
        Prepare(gPortable, out.portable);
        gPortable.SetState(before);
        const int overPortable = gPortable.RunPortable(budget);
        out.cases = c + 1;
        const bool logsEqual = out.arm.count == out.portable.count &&
                               memcmp(out.arm.log, out.portable.log,
                                      sizeof(uint32_t) * (out.arm.count < rix::check::kLogSize
                                                              ? out.arm.count
                                                              : rix::check::kLogSize)) == 0;
        if (!(gArm.State() == gPortable.State()) || overArm != overPortable || !logsEqual) {
            out.failed = 1;
            memcpy(out.code, code, sizeof code);
            out.budget = budget;
            out.before = before;
            out.afterArm = gArm.State();
            out.afterPortable = gPortable.State();
            out.overArm = overArm;
            out.overPortable = overPortable;
            break;
        }
    }
    out.marker = rix::check::kDoneMarker;
    Halt();
}
