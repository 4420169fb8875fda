// The Z80 CPU of the emulated machine: every documented and undocumented instruction, exact
// cycle counts, the undocumented flag bits 3 and 5, MEMPTR, the R register, NMI and the
// maskable interrupt in modes 0, 1 and 2.
//
// Portable: no heap, no exceptions, no RTTI, no C++ library (the GBA toolchain has none).
#pragma once

#include <stdint.h>

#include "core/Platform.h"
#include "core/StreamPort.h"

#if RIX_Z80_ARM
namespace rix::emu {
class Z80;
}
extern "C" {
// Z80Arm.s: Run's ARM core; its way into RunPortable for one step; and the layout check that
// ties the assembly's offsets to this class.
int rix_z80_arm_run(rix::emu::Z80* cpu, int cycles);
int rix_z80_arm_run_lines(rix::emu::Z80* cpu, int lines, int lineCycles, int overrun,
                          void (*hook)(void*), void* context);
int rix_z80_arm_step(rix::emu::Z80* cpu, int cycles);
void rix_z80_arm_layout_check();
}
#endif

namespace rix::emu {

// Memory is reached through tables of page pointers, so an ordinary byte access costs one table
// load, with no callback and no virtual call. 1 KiB pages match the machine's smallest mirrored
// block (its 1 KiB of RAM).
inline constexpr int kZ80PageBits = 10;
inline constexpr uint32_t kZ80PageSize = 1u << kZ80PageBits;
inline constexpr int kZ80PageCount = 0x10000 >> kZ80PageBits;

// Callbacks for memory pages without a pointer and for the I/O ports. `context` is the value
// given with the callbacks. Inside a port callback, Z80::State() holds the registers as they
// stand at the access and Z80::ElapsedCycles() counts the instruction under way. Memory
// callbacks (bank switching, memory-mapped hardware) get only the address: to them State() and
// ElapsedCycles() are as when Run began. Any callback may change the interrupt lines but must
// not call Run, Reset or SetState.
using Z80MemoryRead = uint8_t (*)(void* context, uint16_t address);
using Z80MemoryWrite = void (*)(void* context, uint16_t address, uint8_t value);
using Z80PortRead = uint8_t (*)(void* context, uint16_t port);
using Z80PortWrite = void (*)(void* context, uint16_t port, uint8_t value);
// Called by Z80::RunLines behind each line. State() and ElapsedCycles() are exact in it; it may
// change the interrupt lines but must not call Run, Reset or SetState, nor map memory.
using Z80LineHook = void (*)(void* context);

// Everything that makes up the CPU's state: copy it out and put it back with SetState to save
// and restore the CPU exactly, also between two halves of an EI or of a prefix chain.
struct Z80State {
    // The order serves the interpreter: BC, DE and HL low byte first, so that on a
    // little-endian machine each pair is a plain 16-bit word in memory; and the register an
    // opcode numbers n (B C D E H L - A) lies n XOR 1 bytes behind C, found without a table.
    uint8_t c = 0xFF, b = 0xFF, e = 0xFF, d = 0xFF, l = 0xFF, h = 0xFF, a = 0xFF, f = 0xFF;
    // The alternate set, swapped in by EX AF,AF' and EXX.
    uint8_t c2 = 0xFF, b2 = 0xFF, e2 = 0xFF, d2 = 0xFF;
    uint8_t l2 = 0xFF, h2 = 0xFF, a2 = 0xFF, f2 = 0xFF;
    uint16_t ix = 0xFFFF, iy = 0xFFFF, sp = 0xFFFF, pc = 0;
    // MEMPTR, the internal address latch; it shows through flag bits 3 and 5 of BIT n,(HL).
    uint16_t wz = 0;
    uint8_t i = 0, r = 0;
    uint8_t im = 0; // interrupt mode 0, 1 or 2
    bool iff1 = false, iff2 = false;
    bool halted = false;
    // No interrupt may be taken before the next instruction: the last thing executed was an EI
    // or a prefix, and the cycle budget ran out right behind it.
    bool intDelay = false;
    // The last instruction was LD A,I or LD A,R and ended a run: a maskable interrupt taken
    // before the next one clears the P/V flag it set.
    bool ldAirLast = false;
    bool nmiLine = false;    // the NMI input's level; an NMI is latched on its rising edge
    bool nmiPending = false; // latched NMI not yet taken
    bool irqLine = false;    // the maskable interrupt input (a level)
    uint8_t irqData = 0xFF;  // what the interrupting device puts on the bus (IM 0 and IM 2)
    uint64_t cycles = 0;     // cycles spent since construction

    bool operator==(const Z80State&) const = default;
};

class Z80 {
public:
    // The registers as after Reset, no memory (reads give 0xFF, writes are lost), no ports.
    Z80();

    // The /RESET input: PC, I, R, IFF1/2, IM and MEMPTR cleared, AF and SP set to FFFFh, HALT
    // left, a latched NMI dropped. Other registers, the input lines and the cycle count stay.
    void Reset();

    // Executes instructions (or accepts interrupts, or idles in HALT) until at least `cycles`
    // cycles are spent; returns how many more than `cycles` were spent (less than the last
    // instruction's length), so that running `lineLength - overrun` next keeps a caller exactly
    // on its line grid. Nothing runs when `cycles` <= 0, and -`cycles` comes back.
#if RIX_Z80_ARM
    int Run(int cycles) {
        return portableOnly_ ? RunPortable(cycles) : rix_z80_arm_run(this, cycles);
    }
    // For comparing the two cores on the GBA (gba/check): every Run goes to RunPortable.
    void SetPortableOnly(bool on) {
        portableOnly_ = on;
    }
#else
    int Run(int cycles) {
        return RunPortable(cycles);
    }
#endif
    // The C++ interpreter, the reference. On the GBA the ARM core (Z80Arm.s) runs instead and
    // hands it the rare instructions, interrupts and HALT, one at a time.
    RIX_Z80_LOOP int RunPortable(int cycles);

    // Runs `lines` scan lines of `lineCycles`, each as `overrun = Run(lineCycles - overrun)`
    // followed by hook(context), and returns the last overrun. The same as calling Run once a
    // line, but the ARM core stays in its registers from line to line.
#if RIX_Z80_ARM
    int RunLines(int lines, int lineCycles, int overrun, Z80LineHook hook, void* context) {
        return portableOnly_
                   ? RunLinesPortable(lines, lineCycles, overrun, hook, context)
                   : rix_z80_arm_run_lines(this, lines, lineCycles, overrun, hook, context);
    }
#else
    int RunLines(int lines, int lineCycles, int overrun, Z80LineHook hook, void* context) {
        return RunLinesPortable(lines, lineCycles, overrun, hook, context);
    }
#endif
    int RunLinesPortable(int lines, int lineCycles, int overrun, Z80LineHook hook, void* context);

    // One instruction (or one interrupt acceptance, or one 4-cycle HALT step); returns its cycles.
    int Step() {
        return Run(1) + 1;
    }

    const Z80State& State() const {
        return state_;
    }
    void SetState(const Z80State& state);

    // Total cycles spent, including the instruction under way when called from a callback.
    uint64_t ElapsedCycles() const {
        return state_.cycles + static_cast<uint64_t>(int64_t{runBudget_} - cyclesLeft_);
    }

    // Points the pages of [address, address + size) at consecutive kZ80PageSize blocks of
    // `data`, or detaches them (null). Returns false, and changes nothing, unless address and
    // size are multiples of kZ80PageSize within the 64 KiB space, or when `data` as a number
    // equals `address` (never so for a real buffer). `data` must outlive its use.
    // Reads from a detached page go to the read callback (0xFF without one); writes to a
    // detached page go to the write callback (lost without one).
    bool MapRead(uint32_t address, uint32_t size, const uint8_t* data);
    bool MapWrite(uint32_t address, uint32_t size, uint8_t* data);
    void SetMemoryCallbacks(void* context, Z80MemoryRead read, Z80MemoryWrite write);

    // Port reads without a callback give 0xFF; writes without one are lost. The port address
    // is the full 16 bits the CPU puts out (A or B in the high byte, as the instruction does).
    void SetPortCallbacks(void* context, Z80PortRead read, Z80PortWrite write);
    // Callbacks that never look at State() or ElapsedCycles() and never map memory (the
    // machine's chips) can say so: the ARM core then calls them without writing its registers
    // back first, and goes on with its fetch pointer as it was. The default is off.
    void SetPortsBlind(bool blind) {
        portsBlind_ = blind;
    }
    // Writes to the ports whose low address byte ANDed with `mask` is `match` go into `port`
    // (see StreamPort) instead of the write callback. The port's buffers must outlive the
    // wiring; a port with no state takes the wiring away.
    void SetStreamPort(uint8_t mask, uint8_t match, const StreamPort& port) {
        stream_ = port;
        streamMask_ = port.state != nullptr ? mask : 0;
        streamMatch_ = port.state != nullptr ? match : 0xFF; // never matched when taken away
    }

    // NMI: edge-triggered, taken once per rising edge even while interrupts are disabled.
    void SetNmiLine(bool asserted);
    void TriggerNmi() {
        SetNmiLine(true);
        SetNmiLine(false);
    }
    // The maskable interrupt: a level, taken while asserted and IFF1 is set. `data` is the byte
    // the device answers the acknowledge with: the vector's low byte in IM 2, the instruction
    // executed in IM 0 (an RST in practice; the bytes of a longer instruction after the first
    // come from memory at PC). IM 1 ignores it.
    void SetIrqLine(bool asserted, uint8_t data = 0xFF);

    // A byte as the CPU would read it (callbacks included); for debuggers and tests.
    uint8_t Peek(uint16_t address);

private:
    uint8_t Read(unsigned address);
    uint8_t Load(unsigned address);
    void Store(unsigned address, unsigned value);
    uint8_t ReadSlow(uint16_t address);
    void WriteSlow(uint16_t address, uint8_t value);
    uint8_t Imm8(uint16_t& pc);
    uint16_t Imm16(uint16_t& pc);
    uint16_t Read16(unsigned address);
    void Write16(unsigned address, unsigned value);
    void Push(unsigned value);
    uint16_t Pop();
    void Jr(uint16_t& pc);
    uint16_t Indexed(uint16_t& pc, unsigned base);
    void Sync(uint16_t pc, int left, unsigned refresh);
    int AcceptInterrupt();
    RIX_Z80_RARE int ExecuteIndexed(unsigned op, uint16_t& xy, int left);
    RIX_Z80_HOT int ExecuteIndexedBit(unsigned base);
    RIX_Z80_RARE int ExecuteExtended(unsigned op, int left);
    RIX_Z80_HOT int ExecuteBlock(unsigned op, int left);
    RIX_Z80_PORTS uint8_t PortIn(unsigned port, uint16_t pc, int left, unsigned refresh);
    RIX_Z80_PORTS void PortOut(unsigned port, unsigned value, uint16_t pc, int left,
                               unsigned refresh);
    void UpdateIntCheck() {
        intCheck_ = state_.nmiPending || (state_.irqLine && state_.iff1);
        attention_ = intCheck_ || state_.halted;
        stopLeft_ = attention_ ? kAlwaysStop : 0;
    }

#if RIX_Z80_ARM
    friend int ::rix_z80_arm_run(Z80* cpu, int cycles);
    friend int ::rix_z80_arm_run_lines(Z80* cpu, int lines, int lineCycles, int overrun,
                                       void (*hook)(void*), void* context);
    friend int ::rix_z80_arm_step(Z80* cpu, int cycles);
    friend void ::rix_z80_arm_layout_check();
    // For the ARM core: after a change of the read map's pages firstPage..lastPage, which pages
    // an instruction may be fetched from through a plain pointer (see Z80.cpp).
    void RebuildFetchRuns(uint32_t firstPage, uint32_t lastPage);
#endif

    Z80State state_;
    // The page tables follow the state, which the ARM core reaches with short offsets. Each entry
    // is the page's buffer minus the page's Z80 address, so that entry + address is the byte with
    // no masking of the address; 0 for a page without a buffer (a buffer at a numerically tiny
    // address, where this could collide, does not occur on any target).
    uintptr_t readPages_[kZ80PageCount] = {};
    uintptr_t writePages_[kZ80PageCount] = {};
    void* memoryContext_ = nullptr;
    Z80MemoryRead memoryRead_ = nullptr;
    Z80MemoryWrite memoryWrite_ = nullptr;
    void* portContext_ = nullptr;
    Z80PortRead portRead_ = nullptr;
    Z80PortWrite portWrite_ = nullptr;
    bool intCheck_ = false; // an interrupt would be taken at the next instruction boundary
    // intCheck_ or HALT: something for the loop to look at before the next instruction.
    bool attention_ = false;
    bool portsBlind_ = false; // see SetPortsBlind
    // The loop's one test before each instruction is "left > stopLeft_": 0 runs to the end of
    // the budget, kAlwaysStop (while attention_ is set) stops at the next boundary.
    static constexpr int kAlwaysStop = 0x7FFFFFFF;
    int stopLeft_ = 0;
    int runBudget_ = 0;  // cycles asked of the Run under way
    int cyclesLeft_ = 0; // of them still to spend, as of the last callback
#if RIX_Z80_ARM
    // The ARM core fetches through a host pointer. For each page: the host address below which
    // an instruction may start and still have its (at most 4) bytes in the same contiguous
    // mapping, and where that mapping starts; 0 and 0 for a page without a buffer.
    uintptr_t fetchLimit_[kZ80PageCount] = {};
    uintptr_t fetchStart_[kZ80PageCount] = {};
    uintptr_t armStack_[2] = {}; // the ARM core's sp and lr around calls
    // Side by side at an offset one ARM instruction can add, for one LDM of both.
    uintptr_t pcBase_ = 0;       // host pointer minus Z80 address, for the page PC is in
    uintptr_t regionStart_ = 0;  // fetchStart_ of that page
    uintptr_t armSave_[22] = {}; // the ARM core's scratch around calls
    bool portableOnly_ = false;
#endif
    // The port SetStreamPort wired, behind the ARM core's fields so that their offsets stay.
    StreamPort stream_;
    uint8_t streamMask_ = 0;
    uint8_t streamMatch_ = 0xFF;
};

} // namespace rix::emu
