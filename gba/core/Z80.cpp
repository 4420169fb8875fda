#include "core/Z80.h"

#include <stddef.h>

namespace rix::emu {

namespace {

constexpr uint8_t kFlagC = 0x01;
constexpr uint8_t kFlagN = 0x02;
constexpr uint8_t kFlagPV = 0x04;
constexpr uint8_t kFlagX = 0x08; // undocumented: a copy of bit 3 of some result
constexpr uint8_t kFlagH = 0x10;
constexpr uint8_t kFlagY = 0x20; // undocumented: a copy of bit 5 of some result
constexpr uint8_t kFlagZ = 0x40;
constexpr uint8_t kFlagS = 0x80;
constexpr uint8_t kFlagXY = kFlagX | kFlagY;

struct FlagTables {
    uint8_t sz[256];  // S, Z, and bits 5 and 3 of a result
    uint8_t szp[256]; // the same plus P/V as even parity
};

constexpr FlagTables MakeFlagTables() {
    FlagTables t{};
    for (unsigned v = 0; v < 256; ++v) {
        uint8_t f = static_cast<uint8_t>(v & (kFlagS | kFlagXY));
        if (v == 0) {
            f |= kFlagZ;
        }
        unsigned bits = 0;
        for (unsigned b = v; b != 0; b >>= 1) {
            bits += b & 1;
        }
        t.sz[v] = f;
        t.szp[v] = static_cast<uint8_t>(f | ((bits & 1) ? 0 : kFlagPV));
    }
    return t;
}

RIX_Z80_TABLE constexpr FlagTables kFlags = MakeFlagTables();

// The register an opcode's 3-bit field names: B C D E H L - A (6, the (HL) slot, is never used
// this way; it would name F). Z80State lays them out so that this is one XOR.
RIX_ALWAYS_INLINE uint8_t& Reg8(Z80State& s, unsigned index) {
    return (reinterpret_cast<uint8_t*>(&s) + offsetof(Z80State, c))[(index & 7) ^ 1];
}
static_assert(offsetof(Z80State, b) == offsetof(Z80State, c) + 1 &&
              offsetof(Z80State, d) == offsetof(Z80State, c) + 3 &&
              offsetof(Z80State, e) == offsetof(Z80State, c) + 2 &&
              offsetof(Z80State, h) == offsetof(Z80State, c) + 5 &&
              offsetof(Z80State, l) == offsetof(Z80State, c) + 4 &&
              offsetof(Z80State, a) == offsetof(Z80State, c) + 6);

// R: bit 7 as last written, the low 7 bits counting opcode fetches.
inline uint8_t FoldRefresh(uint8_t r, unsigned refresh) {
    return static_cast<uint8_t>((r & 0x80) | (refresh & 0x7F));
}

// ExecuteIndexed's answer for an opcode that ignores the DD/FD prefix. Budgets never go
// this low: they start positive and end within one instruction below zero.
constexpr int kNotIndexed = -0x7FFFFFFF - 1;

// IM 0/1 (ED 4E, 6E) behaves as IM 0.
constexpr uint8_t kImModes[8] = {0, 0, 1, 2, 0, 0, 1, 2};

inline uint16_t Pair(uint8_t hi, uint8_t lo) {
    return static_cast<uint16_t>(hi << 8 | lo);
}
inline uint16_t Bc(const Z80State& s) {
    return Pair(s.b, s.c);
}
inline uint16_t De(const Z80State& s) {
    return Pair(s.d, s.e);
}
inline uint16_t Hl(const Z80State& s) {
    return Pair(s.h, s.l);
}
inline void SetBc(Z80State& s, unsigned v) {
    s.b = static_cast<uint8_t>(v >> 8);
    s.c = static_cast<uint8_t>(v);
}
inline void SetDe(Z80State& s, unsigned v) {
    s.d = static_cast<uint8_t>(v >> 8);
    s.e = static_cast<uint8_t>(v);
}
inline void SetHl(Z80State& s, unsigned v) {
    s.h = static_cast<uint8_t>(v >> 8);
    s.l = static_cast<uint8_t>(v);
}
inline void SetHigh(uint16_t& r, unsigned v) {
    r = static_cast<uint16_t>((r & 0x00FF) | (v & 0xFF) << 8);
}
inline void SetLow(uint16_t& r, unsigned v) {
    r = static_cast<uint16_t>((r & 0xFF00) | (v & 0xFF));
}

// BC, DE, HL, SP as ED-prefixed opcodes number them (bits 5-4).
inline uint16_t GetPair(const Z80State& s, unsigned p) {
    switch (p) {
    case 0:
        return Bc(s);
    case 1:
        return De(s);
    case 2:
        return Hl(s);
    default:
        return s.sp;
    }
}
inline void SetPair(Z80State& s, unsigned p, unsigned v) {
    switch (p) {
    case 0:
        SetBc(s, v);
        break;
    case 1:
        SetDe(s, v);
        break;
    case 2:
        SetHl(s, v);
        break;
    default:
        s.sp = static_cast<uint16_t>(v);
        break;
    }
}

// --- 8-bit arithmetic and logic ---------------------------------------------------------------
// The flag computations that many opcodes share are one out-of-line copy each on the GBA
// (RIX_Z80_HOT), which keeps the interpreter small enough for IWRAM; the one-liners are
// inlined everywhere.

RIX_Z80_HOT void AddA(Z80State& s, unsigned v, unsigned carry) {
    const unsigned a = s.a;
    const unsigned res = a + v + carry;
    s.f =
        static_cast<uint8_t>(kFlags.sz[res & 0xFF] | ((res >> 8) & kFlagC) |
                             ((a ^ v ^ res) & kFlagH) | ((((a ^ ~v) & (a ^ res)) >> 5) & kFlagPV));
    s.a = static_cast<uint8_t>(res);
}

RIX_Z80_HOT unsigned SubFlags(Z80State& s, unsigned v, unsigned carry) {
    const unsigned a = s.a;
    const unsigned res = a - v - carry;
    s.f = static_cast<uint8_t>(kFlags.sz[res & 0xFF] | kFlagN | ((res >> 8) & kFlagC) |
                               ((a ^ v ^ res) & kFlagH) | ((((a ^ v) & (a ^ res)) >> 5) & kFlagPV));
    return res & 0xFF;
}

RIX_ALWAYS_INLINE void Add(Z80State& s, uint8_t v) {
    AddA(s, v, 0);
}
RIX_ALWAYS_INLINE void Adc(Z80State& s, uint8_t v) {
    AddA(s, v, s.f & kFlagC);
}
RIX_ALWAYS_INLINE void Sub(Z80State& s, uint8_t v) {
    s.a = static_cast<uint8_t>(SubFlags(s, v, 0));
}
RIX_ALWAYS_INLINE void Sbc(Z80State& s, uint8_t v) {
    s.a = static_cast<uint8_t>(SubFlags(s, v, s.f & kFlagC));
}
RIX_ALWAYS_INLINE void And(Z80State& s, uint8_t v) {
    s.a &= v;
    s.f = static_cast<uint8_t>(kFlags.szp[s.a] | kFlagH);
}
RIX_ALWAYS_INLINE void Xor(Z80State& s, uint8_t v) {
    s.a ^= v;
    s.f = kFlags.szp[s.a];
}
RIX_ALWAYS_INLINE void Or(Z80State& s, uint8_t v) {
    s.a |= v;
    s.f = kFlags.szp[s.a];
}
// CP takes bits 3 and 5 from the operand, not from the difference.
RIX_ALWAYS_INLINE void Cp(Z80State& s, uint8_t v) {
    SubFlags(s, v, 0);
    s.f = static_cast<uint8_t>((s.f & ~kFlagXY) | (v & kFlagXY));
}

// The eight operations by their opcode bits 5-3, for the forms that decode them.
RIX_Z80_HOT void Alu(Z80State& s, unsigned kind, uint8_t v) {
    switch (kind) {
    case 0:
        Add(s, v);
        break;
    case 1:
        Adc(s, v);
        break;
    case 2:
        Sub(s, v);
        break;
    case 3:
        Sbc(s, v);
        break;
    case 4:
        And(s, v);
        break;
    case 5:
        Xor(s, v);
        break;
    case 6:
        Or(s, v);
        break;
    default:
        Cp(s, v);
        break;
    }
}

RIX_Z80_HOT uint8_t Inc8(Z80State& s, unsigned v) {
    const unsigned res = (v + 1) & 0xFF;
    s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlags.sz[res] | ((res & 0x0F) == 0 ? kFlagH : 0) |
                               (res == 0x80 ? kFlagPV : 0));
    return static_cast<uint8_t>(res);
}

RIX_Z80_HOT uint8_t Dec8(Z80State& s, unsigned v) {
    const unsigned res = (v - 1) & 0xFF;
    s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlagN | kFlags.sz[res] |
                               ((res & 0x0F) == 0x0F ? kFlagH : 0) | (res == 0x7F ? kFlagPV : 0));
    return static_cast<uint8_t>(res);
}

RIX_Z80_HOT void Daa(Z80State& s) {
    const unsigned a = s.a;
    const unsigned low = a & 0x0F;
    unsigned diff = 0;
    unsigned carry = s.f & kFlagC;
    if ((s.f & kFlagH) || low > 9) {
        diff = 0x06;
    }
    if (carry || a > 0x99) {
        diff |= 0x60;
        carry = kFlagC;
    }
    unsigned half;
    unsigned res;
    if (s.f & kFlagN) {
        half = ((s.f & kFlagH) && low < 6) ? kFlagH : 0;
        res = (a - diff) & 0xFF;
    } else {
        half = low > 9 ? kFlagH : 0;
        res = (a + diff) & 0xFF;
    }
    s.a = static_cast<uint8_t>(res);
    s.f = static_cast<uint8_t>(kFlags.szp[res] | half | (s.f & kFlagN) | carry);
}

// The CB-prefixed shifts and rotates, numbered as in the opcode (bits 5-3):
// RLC RRC RL RR SLA SRA SLL SRL. SLL shifts a 1 in.
RIX_Z80_HOT uint8_t Rotate(Z80State& s, unsigned kind, unsigned v) {
    unsigned res;
    unsigned carry;
    switch (kind) {
    case 0:
        res = v << 1 | v >> 7;
        carry = v >> 7;
        break;
    case 1:
        res = v >> 1 | v << 7;
        carry = v & 1;
        break;
    case 2:
        res = v << 1 | (s.f & kFlagC);
        carry = v >> 7;
        break;
    case 3:
        res = v >> 1 | (s.f & kFlagC) << 7;
        carry = v & 1;
        break;
    case 4:
        res = v << 1;
        carry = v >> 7;
        break;
    case 5:
        res = v >> 1 | (v & 0x80);
        carry = v & 1;
        break;
    case 6:
        res = v << 1 | 1;
        carry = v >> 7;
        break;
    default:
        res = v >> 1;
        carry = v & 1;
        break;
    }
    res &= 0xFF;
    s.f = static_cast<uint8_t>(kFlags.szp[res] | carry);
    return static_cast<uint8_t>(res);
}

// BIT n: bits 3 and 5 come from `xySource` (the register itself, or MEMPTR's / the indexed
// address's high byte for memory operands).
RIX_ALWAYS_INLINE void Bit(Z80State& s, unsigned n, unsigned v, unsigned xySource) {
    const unsigned r = v & (1u << n);
    s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlagH | (xySource & kFlagXY) |
                               (r ? (r & kFlagS) : (kFlagZ | kFlagPV)));
}

// --- 16-bit arithmetic ------------------------------------------------------------------------

RIX_Z80_HOT uint16_t Add16(Z80State& s, unsigned x, unsigned v) {
    const unsigned res = x + v;
    s.wz = static_cast<uint16_t>(x + 1);
    s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | ((res >> 16) & kFlagC) |
                               (((x ^ v ^ res) >> 8) & kFlagH) | ((res >> 8) & kFlagXY));
    return static_cast<uint16_t>(res);
}

RIX_Z80_HOT uint16_t Adc16(Z80State& s, unsigned x, unsigned v) {
    const unsigned res = x + v + (s.f & kFlagC);
    s.wz = static_cast<uint16_t>(x + 1);
    s.f =
        static_cast<uint8_t>(((res >> 8) & (kFlagS | kFlagXY)) |
                             ((res & 0xFFFF) == 0 ? kFlagZ : 0) | (((x ^ v ^ res) >> 8) & kFlagH) |
                             ((((x ^ ~v) & (x ^ res)) >> 13) & kFlagPV) | ((res >> 16) & kFlagC));
    return static_cast<uint16_t>(res);
}

RIX_Z80_HOT uint16_t Sbc16(Z80State& s, unsigned x, unsigned v) {
    const unsigned res = x - v - (s.f & kFlagC);
    s.wz = static_cast<uint16_t>(x + 1);
    s.f = static_cast<uint8_t>(((res >> 8) & (kFlagS | kFlagXY)) |
                               ((res & 0xFFFF) == 0 ? kFlagZ : 0) | kFlagN |
                               (((x ^ v ^ res) >> 8) & kFlagH) |
                               ((((x ^ v) & (x ^ res)) >> 13) & kFlagPV) | ((res >> 16) & kFlagC));
    return static_cast<uint16_t>(res);
}

// While a block instruction repeats, bits 3 and 5 show bits 11 and 13 of its own address.
RIX_ALWAYS_INLINE void RepeatXY(Z80State& s, unsigned pc) {
    s.f = static_cast<uint8_t>((s.f & ~kFlagXY) | ((pc >> 8) & kFlagXY));
}

// INIR/INDR/OTIR/OTDR while repeating also recompute P/V and H from B as the ALU sees it
// during the repeat cycles.
RIX_Z80_HOT void RepeatIoFlags(Z80State& s, unsigned pc, unsigned value) {
    RepeatXY(s, pc);
    const auto flipParity = [&s](unsigned x) {
        if (!(kFlags.szp[x & 7] & kFlagPV)) {
            s.f ^= kFlagPV;
        }
    };
    if (s.f & kFlagC) {
        s.f &= static_cast<uint8_t>(~kFlagH);
        if (value & 0x80) {
            flipParity(s.b - 1u);
            if ((s.b & 0x0F) == 0x00) {
                s.f |= kFlagH;
            }
        } else {
            flipParity(s.b + 1u);
            if ((s.b & 0x0F) == 0x0F) {
                s.f |= kFlagH;
            }
        }
    } else {
        flipParity(s.b);
    }
}

// Flags of INI/IND/OUTI/OUTD; `k` is the byte moved plus C+-1 (input) or plus L (output).
RIX_ALWAYS_INLINE void BlockIoFlags(Z80State& s, unsigned value, unsigned k) {
    s.f = static_cast<uint8_t>(kFlags.sz[s.b] | ((value >> 6) & kFlagN) |
                               (k > 0xFF ? (kFlagH | kFlagC) : 0) |
                               (kFlags.szp[(k & 7) ^ s.b] & kFlagPV));
}

} // namespace

Z80::Z80() {
    Reset();
}

#if RIX_Z80_ARM
// Pages whose table entries are equal lie back to back in host memory (entry = buffer minus Z80
// address), so a fetch pointer can run on across them. A run of such pages ends at the end of
// the address space, at a page without a buffer, or where the next page maps elsewhere (the
// RAM's mirrors, a cartridge bank, a page served by the memory callback). An instruction may
// start at most 4 bytes before a run's end; nearer, or on a page without a buffer, the ARM core
// leaves it to RunPortable.
void Z80::RebuildFetchRuns(uint32_t firstPage, uint32_t lastPage) {
    // Only the runs that touch the changed pages can change: from the start of the run before
    // them to the end of the run after them.
    uint32_t from = firstPage > 0 ? firstPage - 1 : 0;
    while (from > 0 && readPages_[from - 1] == readPages_[from]) {
        --from;
    }
    uint32_t to = lastPage + 1 < kZ80PageCount ? lastPage + 1 : kZ80PageCount - 1;
    while (to + 1 < kZ80PageCount && readPages_[to + 1] == readPages_[to]) {
        ++to;
    }
    uint32_t first = from;
    while (first <= to) {
        uint32_t last = first;
        const uintptr_t base = readPages_[first];
        while (last + 1 < kZ80PageCount && readPages_[last + 1] == base) {
            ++last;
        }
        for (uint32_t page = first; page <= last; ++page) {
            if (base == 0) {
                fetchLimit_[page] = 0;
                fetchStart_[page] = 0;
            } else {
                fetchStart_[page] = base + first * kZ80PageSize;
                fetchLimit_[page] = base + (last + 1) * kZ80PageSize - 3;
            }
        }
        first = last + 1;
    }
}
#endif

void Z80::Reset() {
    Z80State& s = state_;
    s.pc = 0;
    s.i = 0;
    s.r = 0;
    s.iff1 = false;
    s.iff2 = false;
    s.im = 0;
    s.wz = 0;
    s.a = 0xFF;
    s.f = 0xFF;
    s.sp = 0xFFFF;
    s.halted = false;
    s.intDelay = false;
    s.ldAirLast = false;
    s.nmiPending = false;
    UpdateIntCheck();
}

void Z80::SetState(const Z80State& state) {
    state_ = state;
    UpdateIntCheck();
}

bool Z80::MapRead(uint32_t address, uint32_t size, const uint8_t* data) {
    // A buffer whose address equals its Z80 address would read as "no buffer" in the table.
    if (address % kZ80PageSize != 0 || size % kZ80PageSize != 0 || address > 0x10000 ||
        size > 0x10000 - address ||
        (data != nullptr && reinterpret_cast<uintptr_t>(data) == address)) {
        return false;
    }
    const uint32_t first = address >> kZ80PageBits;
    for (uint32_t i = 0; i < size >> kZ80PageBits; ++i) {
        readPages_[first + i] = data != nullptr ? reinterpret_cast<uintptr_t>(data) - address : 0;
    }
#if RIX_Z80_ARM
    if (size != 0) {
        RebuildFetchRuns(first, first + (size >> kZ80PageBits) - 1);
    }
#endif
    return true;
}

bool Z80::MapWrite(uint32_t address, uint32_t size, uint8_t* data) {
    // A buffer whose address equals its Z80 address would read as "no buffer" in the table.
    if (address % kZ80PageSize != 0 || size % kZ80PageSize != 0 || address > 0x10000 ||
        size > 0x10000 - address ||
        (data != nullptr && reinterpret_cast<uintptr_t>(data) == address)) {
        return false;
    }
    const uint32_t first = address >> kZ80PageBits;
    for (uint32_t i = 0; i < size >> kZ80PageBits; ++i) {
        writePages_[first + i] = data != nullptr ? reinterpret_cast<uintptr_t>(data) - address : 0;
    }
    return true;
}

void Z80::SetMemoryCallbacks(void* context, Z80MemoryRead read, Z80MemoryWrite write) {
    memoryContext_ = context;
    memoryRead_ = read;
    memoryWrite_ = write;
}

void Z80::SetPortCallbacks(void* context, Z80PortRead read, Z80PortWrite write) {
    portContext_ = context;
    portRead_ = read;
    portWrite_ = write;
}

int Z80::RunLinesPortable(int lines, int lineCycles, int overrun, Z80LineHook hook, void* context) {
    for (int line = 0; line < lines; ++line) {
        overrun = Run(lineCycles - overrun);
        hook(context);
    }
    return overrun;
}

void Z80::SetNmiLine(bool asserted) {
    if (asserted && !state_.nmiLine) {
        state_.nmiPending = true;
    }
    state_.nmiLine = asserted;
    UpdateIntCheck();
}

void Z80::SetIrqLine(bool asserted, uint8_t data) {
    state_.irqLine = asserted;
    state_.irqData = data;
    UpdateIntCheck();
}

uint8_t Z80::Peek(uint16_t address) {
    const uintptr_t page = readPages_[address >> kZ80PageBits];
    return page != 0 ? *reinterpret_cast<const uint8_t*>(page + address) : ReadSlow(address);
}

RIX_COLD uint8_t Z80::ReadSlow(uint16_t address) {
    return memoryRead_ != nullptr ? memoryRead_(memoryContext_, address) : 0xFF;
}

RIX_COLD void Z80::WriteSlow(uint16_t address, uint8_t value) {
    if (memoryWrite_ != nullptr) {
        memoryWrite_(memoryContext_, address, value);
    }
}

// Port callbacks may look at the registers and the time, so the locals Run keeps in machine
// registers are written back first.
void Z80::Sync(uint16_t pc, int left, unsigned refresh) {
    state_.pc = pc;
    state_.r = FoldRefresh(state_.r, refresh);
    cyclesLeft_ = left;
}

RIX_Z80_PORTS uint8_t Z80::PortIn(unsigned port, uint16_t pc, int left, unsigned refresh) {
    Sync(pc, left, refresh);
    return portRead_ != nullptr ? portRead_(portContext_, static_cast<uint16_t>(port)) : 0xFF;
}

RIX_Z80_PORTS void Z80::PortOut(unsigned port, unsigned value, uint16_t pc, int left,
                                unsigned refresh) {
    if ((port & streamMask_) == streamMatch_) {
        stream_.Write(static_cast<uint8_t>(value));
        return;
    }
    Sync(pc, left, refresh);
    if (portWrite_ != nullptr) {
        portWrite_(portContext_, static_cast<uint16_t>(port), static_cast<uint8_t>(value));
    }
}

// The accessors Run is built from. Opcode and operand fetches are forced inline so that PC
// stays in a machine register; data accesses (HL, the stack, IX+d) go through one out-of-line
// copy each on the GBA, where the code must fit in IWRAM.
RIX_ALWAYS_INLINE uint8_t Z80::Read(unsigned address) {
    address &= 0xFFFF;
    const uintptr_t page = readPages_[address >> kZ80PageBits];
    if (page != 0) [[likely]] {
        return *reinterpret_cast<const uint8_t*>(page + address);
    }
    return ReadSlow(static_cast<uint16_t>(address));
}

RIX_Z80_HOT uint8_t Z80::Load(unsigned address) {
    return Read(address);
}

RIX_Z80_HOT void Z80::Store(unsigned address, unsigned value) {
    address &= 0xFFFF;
    const uintptr_t page = writePages_[address >> kZ80PageBits];
    if (page != 0) [[likely]] {
        *reinterpret_cast<uint8_t*>(page + address) = static_cast<uint8_t>(value);
    } else {
        WriteSlow(static_cast<uint16_t>(address), static_cast<uint8_t>(value));
    }
}

RIX_ALWAYS_INLINE uint8_t Z80::Imm8(uint16_t& pc) {
    return Read(pc++);
}

RIX_ALWAYS_INLINE uint16_t Z80::Imm16(uint16_t& pc) {
    const uint16_t v = Read16(pc);
    pc = static_cast<uint16_t>(pc + 2);
    return v;
}

// Words: the bytes at address and address + 1 (wrapping at 64 KiB), low byte first. When both
// lie in one page (all but one address in 1,024) that is one table look-up, no callback.
RIX_Z80_HOT uint16_t Z80::Read16(unsigned address) {
    address &= 0xFFFF;
    const uintptr_t page = readPages_[address >> kZ80PageBits];
    if (page != 0 && (address & (kZ80PageSize - 1)) != kZ80PageSize - 1) [[likely]] {
        const auto* bytes = reinterpret_cast<const uint8_t*>(page + address);
        return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    }
    const unsigned lo = Read(address);
    return static_cast<uint16_t>(lo | Read(address + 1) << 8);
}

RIX_Z80_HOT void Z80::Write16(unsigned address, unsigned value) {
    address &= 0xFFFF;
    const uintptr_t page = writePages_[address >> kZ80PageBits];
    if (page != 0 && (address & (kZ80PageSize - 1)) != kZ80PageSize - 1) [[likely]] {
        auto* bytes = reinterpret_cast<uint8_t*>(page + address);
        bytes[0] = static_cast<uint8_t>(value);
        bytes[1] = static_cast<uint8_t>(value >> 8);
        return;
    }
    Store(address, value);
    Store(address + 1, value >> 8);
}

// The high byte goes first, as on the CPU (it matters only to memory callbacks).
RIX_Z80_HOT void Z80::Push(unsigned value) {
    const unsigned sp = (state_.sp - 2u) & 0xFFFF;
    state_.sp = static_cast<uint16_t>(sp);
    const uintptr_t page = writePages_[sp >> kZ80PageBits];
    if (page != 0 && (sp & (kZ80PageSize - 1)) != kZ80PageSize - 1) [[likely]] {
        auto* bytes = reinterpret_cast<uint8_t*>(page + sp);
        bytes[1] = static_cast<uint8_t>(value >> 8);
        bytes[0] = static_cast<uint8_t>(value);
        return;
    }
    Store(sp + 1, value >> 8);
    Store(sp, value);
}

RIX_ALWAYS_INLINE uint16_t Z80::Pop() {
    const unsigned sp = state_.sp;
    state_.sp = static_cast<uint16_t>(sp + 2);
    return Read16(sp);
}

RIX_ALWAYS_INLINE void Z80::Jr(uint16_t& pc) {
    const auto d = static_cast<int8_t>(Imm8(pc));
    pc = static_cast<uint16_t>(pc + d);
    state_.wz = pc;
}

// The operand (IX+d) or (IY+d); it also sets MEMPTR.
RIX_ALWAYS_INLINE uint16_t Z80::Indexed(uint16_t& pc, unsigned base) {
    const auto d = static_cast<int8_t>(Imm8(pc));
    state_.wz = static_cast<uint16_t>(base + d);
    return state_.wz;
}

// NMI, IM 1 or IM 2 (IM 0 runs its byte through Run's dispatch). Returns the cycles spent.
[[gnu::noinline]] int Z80::AcceptInterrupt() {
    Z80State& s = state_;
    s.halted = false;
    Push(s.pc);
    if (s.nmiPending) {
        s.nmiPending = false;
        s.iff1 = false; // IFF2 keeps the old state for RETN
        UpdateIntCheck();
        s.pc = 0x0066;
        s.wz = s.pc;
        return 11;
    }
    s.iff1 = false;
    s.iff2 = false;
    UpdateIntCheck();
    int cycles;
    if (s.im == 1) {
        s.pc = 0x0038;
        cycles = 13;
    } else {
        s.pc = Read16(static_cast<unsigned>(s.i) << 8 | s.irqData);
        cycles = 19;
    }
    s.wz = s.pc;
    return cycles;
}

// DD CB d op / FD CB d op, behind the prefix (whose 4 cycles Run has counted); `base` is IX or
// IY. Returns the remaining cycles.
int Z80::ExecuteIndexedBit(unsigned base) {
    Z80State& s = state_;
    uint16_t pc = s.pc;
    // DD CB d op: neither d nor op is an opcode fetch, so R counts only DD and CB. The
    // shifts, RES and SET also copy the result into the register the opcode names.
    const uint16_t address = Indexed(pc, base);
    const unsigned op = Read(pc++);
    const uint8_t v = Load(address);
    const unsigned kind = (op >> 3) & 7;
    uint8_t res;
    switch (op >> 6) {
    case 0:
        res = Rotate(s, kind, v);
        break;
    case 1:
        Bit(s, kind, v, address >> 8);
        s.pc = pc;
        return 20 - 4;
    case 2:
        res = static_cast<uint8_t>(v & ~(1u << kind));
        break;
    default:
        res = static_cast<uint8_t>(v | 1u << kind);
        break;
    }
    Store(address, res);
    if ((op & 7) != 6) {
        Reg8(s, op & 7) = res;
    }
    s.pc = pc;
    return 23 - 4;
}

// The DD/FD-prefixed instructions that Run leaves to this function: those with IXh/IXl, LD
// (nn),IX and LD IX,(nn), EX (SP),IX, JP (IX), LD SP,IX. `op` follows the prefix (both fetches
// counted by Run) and `xy` is IX or IY. Works on state_ (Run writes PC back
// first); returns what is left of the budget, or kNotIndexed for an opcode that ignores the
// prefix, which Run then executes as unprefixed.
int Z80::ExecuteIndexed(unsigned op, uint16_t& xy, int left) {
    Z80State& s = state_;
    uint16_t pc = s.pc;
    switch (op) {
    case 0x22: {
        left -= 20 - 4;
        const uint16_t address = Imm16(pc);
        Write16(address, xy);
        s.wz = static_cast<uint16_t>(address + 1);
        break;
    }
    case 0x24:
        left -= 8 - 4;
        SetHigh(xy, Inc8(s, xy >> 8));
        break;
    case 0x25:
        left -= 8 - 4;
        SetHigh(xy, Dec8(s, xy >> 8));
        break;
    case 0x26:
        left -= 11 - 4;
        SetHigh(xy, Imm8(pc));
        break;
    case 0x2A: {
        left -= 20 - 4;
        const uint16_t address = Imm16(pc);
        xy = Read16(address);
        s.wz = static_cast<uint16_t>(address + 1);
        break;
    }
    case 0x2C:
        left -= 8 - 4;
        SetLow(xy, Inc8(s, xy & 0xFFu));
        break;
    case 0x2D:
        left -= 8 - 4;
        SetLow(xy, Dec8(s, xy & 0xFFu));
        break;
    case 0x2E:
        left -= 11 - 4;
        SetLow(xy, Imm8(pc));
        break;

// LD r,IXh / LD r,IXl for the destinations other than H, L and (HL).
#define RIX_XY_LD_ROW(base, dst)                                                                   \
    case base + 4:                                                                                 \
        left -= 8 - 4;                                                                             \
        dst = static_cast<uint8_t>(xy >> 8);                                                       \
        break;                                                                                     \
    case base + 5:                                                                                 \
        left -= 8 - 4;                                                                             \
        dst = static_cast<uint8_t>(xy);                                                            \
        break;
// ALU operations with IXh and IXl.
#define RIX_XY_ALU_ROW(base, OP)                                                                   \
    case base + 4:                                                                                 \
        left -= 8 - 4;                                                                             \
        OP(s, static_cast<uint8_t>(xy >> 8));                                                      \
        break;                                                                                     \
    case base + 5:                                                                                 \
        left -= 8 - 4;                                                                             \
        OP(s, static_cast<uint8_t>(xy));                                                           \
        break;

        RIX_XY_LD_ROW(0x40, s.b)
        RIX_XY_LD_ROW(0x48, s.c)
        RIX_XY_LD_ROW(0x50, s.d)
        RIX_XY_LD_ROW(0x58, s.e)
        RIX_XY_LD_ROW(0x78, s.a)

    // LD IXh,r and LD IXl,r.
    case 0x60:
        left -= 8 - 4;
        SetHigh(xy, s.b);
        break;
    case 0x61:
        left -= 8 - 4;
        SetHigh(xy, s.c);
        break;
    case 0x62:
        left -= 8 - 4;
        SetHigh(xy, s.d);
        break;
    case 0x63:
        left -= 8 - 4;
        SetHigh(xy, s.e);
        break;
    case 0x65:
        left -= 8 - 4;
        SetHigh(xy, xy & 0xFFu);
        break;
    case 0x67:
        left -= 8 - 4;
        SetHigh(xy, s.a);
        break;
    case 0x68:
        left -= 8 - 4;
        SetLow(xy, s.b);
        break;
    case 0x69:
        left -= 8 - 4;
        SetLow(xy, s.c);
        break;
    case 0x6A:
        left -= 8 - 4;
        SetLow(xy, s.d);
        break;
    case 0x6B:
        left -= 8 - 4;
        SetLow(xy, s.e);
        break;
    case 0x6C:
        left -= 8 - 4;
        SetLow(xy, xy >> 8);
        break;
    case 0x6F:
        left -= 8 - 4;
        SetLow(xy, s.a);
        break;

        RIX_XY_ALU_ROW(0x80, Add)
        RIX_XY_ALU_ROW(0x88, Adc)
        RIX_XY_ALU_ROW(0x90, Sub)
        RIX_XY_ALU_ROW(0x98, Sbc)
        RIX_XY_ALU_ROW(0xA0, And)
        RIX_XY_ALU_ROW(0xA8, Xor)
        RIX_XY_ALU_ROW(0xB0, Or)
        RIX_XY_ALU_ROW(0xB8, Cp)
#undef RIX_XY_LD_ROW
#undef RIX_XY_ALU_ROW

    case 0xE3: { // EX (SP),IX
        left -= 23 - 4;
        const uint16_t v = Read16(s.sp);
        Store(s.sp + 1u, xy >> 8);
        Store(s.sp, xy);
        xy = v;
        s.wz = v;
        break;
    }
    case 0xE9:
        left -= 8 - 4;
        pc = xy;
        break;
    case 0xF9:
        left -= 10 - 4;
        s.sp = xy;
        break;
    default:
        return kNotIndexed;
    }
    s.pc = pc;
    return left;
}

// The block group: LDI LDD LDIR LDDR, CPI..., INI..., OUTI... (ED A0-A3, A8-AB, B0-B3,
// B8-BB; bit 3 picks decrement, bit 4 picks repeat). Like ExecuteExtended otherwise; kept apart
// because games spend much time in LDIR and OTIR, so this part runs from IWRAM.
int Z80::ExecuteBlock(unsigned op, int left) {
    Z80State& s = state_;
    uint16_t pc = s.pc;
    const unsigned refresh = s.r;
    const unsigned step = (op & 8) ? 0xFFFFu : 1u;
    const bool repeating = (op & 0x10) != 0;
    switch (op & 3) {
    case 0: { // LDI LDD LDIR LDDR
        const uint16_t bc = static_cast<uint16_t>(Bc(s) - 1);
        const bool again = repeating && bc != 0;
        left -= again ? 21 : 16;
        const uint8_t v = Load(Hl(s));
        Store(De(s), v);
        SetHl(s, Hl(s) + step);
        SetDe(s, De(s) + step);
        SetBc(s, bc);
        const unsigned n = v + s.a;
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagC)) | (bc != 0 ? kFlagPV : 0) |
                                   (n & kFlagX) | ((n << 4) & kFlagY));
        if (again) {
            pc = static_cast<uint16_t>(pc - 2);
            s.wz = static_cast<uint16_t>(pc + 1);
            RepeatXY(s, pc);
        }
        break;
    }
    case 1: { // CPI CPD CPIR CPDR
        const uint16_t bc = static_cast<uint16_t>(Bc(s) - 1);
        const uint8_t v = Load(Hl(s));
        const unsigned res = (s.a - v) & 0xFFu;
        const unsigned half = (s.a ^ v ^ res) & kFlagH;
        const unsigned n = res - (half >> 4);
        const bool again = repeating && bc != 0 && res != 0;
        left -= again ? 21 : 16;
        SetHl(s, Hl(s) + step);
        SetBc(s, bc);
        s.wz = static_cast<uint16_t>(s.wz + step);
        s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlagN | (kFlags.sz[res] & (kFlagS | kFlagZ)) |
                                   half | (bc != 0 ? kFlagPV : 0) | (n & kFlagX) |
                                   ((n << 4) & kFlagY));
        if (again) {
            pc = static_cast<uint16_t>(pc - 2);
            s.wz = static_cast<uint16_t>(pc + 1);
            RepeatXY(s, pc);
        }
        break;
    }
    case 2: { // INI IND INIR INDR
        const bool again = repeating && s.b != 1;
        left -= again ? 21 : 16;
        const uint16_t port = Bc(s);
        s.wz = static_cast<uint16_t>(port + step);
        const uint8_t v = PortIn(port, pc, left, refresh);
        --s.b;
        Store(Hl(s), v);
        SetHl(s, Hl(s) + step);
        BlockIoFlags(s, v, v + ((s.c + step) & 0xFFu));
        if (again) {
            pc = static_cast<uint16_t>(pc - 2);
            RepeatIoFlags(s, pc, v);
        }
        break;
    }
    default: { // OUTI OUTD OTIR OTDR: B counts down before it goes out on the bus
        const bool again = repeating && s.b != 1;
        left -= again ? 21 : 16;
        const uint8_t v = Load(Hl(s));
        --s.b;
        const uint16_t port = Bc(s);
        s.wz = static_cast<uint16_t>(port + step);
        PortOut(port, v, pc, left, refresh);
        SetHl(s, Hl(s) + step);
        BlockIoFlags(s, v, v + s.l);
        if (again) {
            pc = static_cast<uint16_t>(pc - 2);
            RepeatIoFlags(s, pc, v);
        }
        break;
    }
    }
    s.pc = pc;
    return left;
}

// ED-prefixed instructions but for the block group (ExecuteBlock); `op` follows the ED, both
// fetched by Run. Works on state_ (Run writes PC and R back first); returns what is left of
// the budget.
int Z80::ExecuteExtended(unsigned op, int left) {
    Z80State& s = state_;
    uint16_t pc = s.pc;
    unsigned refresh = s.r;
    if (op >= 0x40 && op < 0x80) {
        const unsigned y = (op >> 3) & 7;
        switch (op & 7) {
        case 0: { // IN r,(C); ED 70 only sets the flags
            left -= 12;
            const uint16_t port = Bc(s);
            s.wz = static_cast<uint16_t>(port + 1);
            const uint8_t v = PortIn(port, pc, left, refresh);
            s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlags.szp[v]);
            if (y != 6) {
                Reg8(s, y) = v;
            }
            break;
        }
        case 1: { // OUT (C),r; ED 71 puts out 0
            left -= 12;
            const uint16_t port = Bc(s);
            s.wz = static_cast<uint16_t>(port + 1);
            PortOut(port, y == 6 ? 0u : Reg8(s, y), pc, left, refresh);
            break;
        }
        case 2: // SBC HL,rr / ADC HL,rr
            left -= 15;
            SetHl(s, (y & 1) ? Adc16(s, Hl(s), GetPair(s, y >> 1))
                             : Sbc16(s, Hl(s), GetPair(s, y >> 1)));
            break;
        case 3: { // LD (nn),rr / LD rr,(nn)
            left -= 20;
            const uint16_t address = Imm16(pc);
            if (y & 1) {
                SetPair(s, y >> 1, Read16(address));
            } else {
                Write16(address, GetPair(s, y >> 1));
            }
            s.wz = static_cast<uint16_t>(address + 1);
            break;
        }
        case 4: { // NEG and its mirrors
            left -= 8;
            const uint8_t v = s.a;
            s.a = 0;
            Sub(s, v);
            break;
        }
        case 5: // RETN, RETI and mirrors: all copy IFF2 to IFF1
            left -= 14;
            s.iff1 = s.iff2;
            UpdateIntCheck();
            pc = Pop();
            s.wz = pc;
            break;
        case 6:
            left -= 8;
            s.im = kImModes[y];
            break;
        default:
            switch (y) {
            case 0: // LD I,A
                left -= 9;
                s.i = s.a;
                break;
            case 1: // LD R,A
                left -= 9;
                s.r = s.a;
                refresh = s.a;
                break;
            case 2:   // LD A,I
            case 3: { // LD A,R
                left -= 9;
                if (y == 2) {
                    s.a = s.i;
                } else {
                    s.a = FoldRefresh(s.r, refresh);
                }
                s.f =
                    static_cast<uint8_t>((s.f & kFlagC) | kFlags.sz[s.a] | (s.iff2 ? kFlagPV : 0));
                // A maskable interrupt accepted right behind it finds P/V cleared.
                if (left <= 0) {
                    s.ldAirLast = true;
                } else if (intCheck_ && !s.nmiPending) {
                    s.f &= static_cast<uint8_t>(~kFlagPV);
                }
                break;
            }
            case 4: { // RRD
                left -= 18;
                const uint16_t address = Hl(s);
                const unsigned v = Load(address);
                Store(address, (s.a & 0x0Fu) << 4 | v >> 4);
                s.a = static_cast<uint8_t>((s.a & 0xF0) | (v & 0x0F));
                s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlags.szp[s.a]);
                s.wz = static_cast<uint16_t>(address + 1);
                break;
            }
            case 5: { // RLD
                left -= 18;
                const uint16_t address = Hl(s);
                const unsigned v = Load(address);
                Store(address, v << 4 | (s.a & 0x0Fu));
                s.a = static_cast<uint8_t>((s.a & 0xF0) | v >> 4);
                s.f = static_cast<uint8_t>((s.f & kFlagC) | kFlags.szp[s.a]);
                s.wz = static_cast<uint16_t>(address + 1);
                break;
            }
            default: // ED 77, ED 7F
                left -= 8;
                break;
            }
            break;
        }
    } else {
        // Every other ED opcode is an 8-cycle no-op.
        left -= 8;
    }
    s.pc = pc;
    s.r = FoldRefresh(s.r, refresh);
    return left;
}

// The loop, interrupts, the unprefixed and the CB group. PC, the cycle budget and the R count
// live in machine registers here; they are written back to state_ around the calls into the
// DD/FD, ED and interrupt functions and the port callbacks, and at the end.
int Z80::RunPortable(int cycles) {
    if (cycles <= 0) {
        return -cycles;
    }
    Z80State& s = state_;
    runBudget_ = cycles;
    cyclesLeft_ = cycles;
    int left = cycles;
    uint16_t pc = s.pc;
    unsigned refresh = s.r; // R's low 7 bits count on in here; bit 7 stays in s.r
    uint16_t* xy = &s.ix;
    unsigned op = 0;
    bool taken = false;

    if (s.ldAirLast) {
        // LD A,I / LD A,R ended the last run: a maskable interrupt taken right behind it clears
        // P/V (the acknowledge resets IFF2 before P/V is latched; an NMI leaves IFF2 alone).
        s.ldAirLast = false;
        if (intCheck_ && !s.nmiPending) {
            s.f &= static_cast<uint8_t>(~kFlagPV);
        }
    }
    if (s.intDelay) {
        s.intDelay = false;
        goto fetch;
    }

    // The loop is written with labels so that the usual path from one instruction to the next
    // (budget left, nothing pending) is a straight run of code: one test, the fetch, the jump.
next:
    if (left <= stopLeft_) [[unlikely]] {
        if (left <= 0) {
            goto done;
        }
        if (!intCheck_) {
            // HALT repeats 4-cycle internal NOPs (each refreshing, so R counts them) until
            // an interrupt: spend the rest of the budget at once.
            const unsigned steps = (static_cast<unsigned>(left) + 3) / 4;
            refresh += steps;
            left = static_cast<int>(static_cast<unsigned>(left) - steps * 4);
            goto done;
        }
        ++refresh;
        if (!s.nmiPending && s.im == 0) {
            // The device's byte runs as an instruction; the acknowledge adds 2 wait states.
            s.halted = false;
            s.iff1 = false;
            s.iff2 = false;
            UpdateIntCheck();
            left -= 2;
            op = s.irqData;
            goto dispatch;
        }
        s.pc = pc;
        left -= AcceptInterrupt();
        pc = s.pc;
        goto next;
    }

fetch:
    ++refresh;
    op = Read(pc++);
dispatch:
    switch (op) {
// Rows of LD r,r' (opcodes 40h-7Fh but for the (HL) destination row).
#define RIX_LD_ROW(base, dst)                                                                      \
    case base + 0:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.b;                                                                                 \
        break;                                                                                     \
    case base + 1:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.c;                                                                                 \
        break;                                                                                     \
    case base + 2:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.d;                                                                                 \
        break;                                                                                     \
    case base + 3:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.e;                                                                                 \
        break;                                                                                     \
    case base + 4:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.h;                                                                                 \
        break;                                                                                     \
    case base + 5:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.l;                                                                                 \
        break;                                                                                     \
    case base + 6:                                                                                 \
        left -= 7;                                                                                 \
        dst = Load(Hl(s));                                                                         \
        break;                                                                                     \
    case base + 7:                                                                                 \
        left -= 4;                                                                                 \
        dst = s.a;                                                                                 \
        break;
// Rows of ADD ADC SUB SBC AND XOR OR CP with A (opcodes 80h-BFh); the register forms of a row
// share one body, which keeps the interpreter small enough for IWRAM.
#define RIX_ALU_ROW(base, OP)                                                                      \
    case base + 0:                                                                                 \
    case base + 1:                                                                                 \
    case base + 2:                                                                                 \
    case base + 3:                                                                                 \
    case base + 4:                                                                                 \
    case base + 5:                                                                                 \
    case base + 7:                                                                                 \
        left -= 4;                                                                                 \
        OP(s, Reg8(s, op));                                                                        \
        break;                                                                                     \
    case base + 6:                                                                                 \
        left -= 7;                                                                                 \
        OP(s, Load(Hl(s)));                                                                        \
        break;
// Conditional RET, JP, CALL (the condition in bits 5-3): each case only tests its condition and
// goes on to one shared body per kind, which keeps the interpreter small enough for IWRAM.
#define RIX_COND_ROW(base, cond)                                                                   \
    case base + 0:                                                                                 \
        taken = (cond);                                                                            \
        goto conditionalRet;                                                                       \
    case base + 2:                                                                                 \
        taken = (cond);                                                                            \
        goto conditionalJp;                                                                        \
    case base + 4:                                                                                 \
        taken = (cond);                                                                            \
        goto conditionalCall;

    case 0x00: // NOP
        left -= 4;
        break;
    case 0x01:
        left -= 10;
        SetBc(s, Imm16(pc));
        break;
    case 0x02: // LD (BC),A
        left -= 7;
        Store(Bc(s), s.a);
        s.wz = Pair(s.a, static_cast<uint8_t>(s.c + 1));
        break;
    case 0x03:
        left -= 6;
        SetBc(s, Bc(s) + 1u);
        break;
    case 0x04:
        left -= 4;
        s.b = Inc8(s, s.b);
        break;
    case 0x05:
        left -= 4;
        s.b = Dec8(s, s.b);
        break;
    case 0x06:
        left -= 7;
        s.b = Imm8(pc);
        break;
    case 0x07: // RLCA
        left -= 4;
        s.a = static_cast<uint8_t>(s.a << 1 | s.a >> 7);
        s.f =
            static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | (s.a & (kFlagXY | kFlagC)));
        break;
    case 0x08: { // EX AF,AF'
        left -= 4;
        const uint8_t a = s.a;
        const uint8_t f = s.f;
        s.a = s.a2;
        s.f = s.f2;
        s.a2 = a;
        s.f2 = f;
        break;
    }
    case 0x09:
        left -= 11;
        SetHl(s, Add16(s, Hl(s), Bc(s)));
        break;
    case 0x0A: // LD A,(BC)
        left -= 7;
        s.wz = Bc(s);
        s.a = Load(s.wz++);
        break;
    case 0x0B:
        left -= 6;
        SetBc(s, Bc(s) - 1u);
        break;
    case 0x0C:
        left -= 4;
        s.c = Inc8(s, s.c);
        break;
    case 0x0D:
        left -= 4;
        s.c = Dec8(s, s.c);
        break;
    case 0x0E:
        left -= 7;
        s.c = Imm8(pc);
        break;
    case 0x0F: { // RRCA
        left -= 4;
        const unsigned carry = s.a & 1u;
        s.a = static_cast<uint8_t>(s.a >> 1 | s.a << 7);
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | (s.a & kFlagXY) | carry);
        break;
    }
    case 0x10: // DJNZ
        if (--s.b != 0) {
            left -= 13;
            Jr(pc);
        } else {
            left -= 8;
            ++pc;
        }
        break;
    case 0x11:
        left -= 10;
        SetDe(s, Imm16(pc));
        break;
    case 0x12: // LD (DE),A
        left -= 7;
        Store(De(s), s.a);
        s.wz = Pair(s.a, static_cast<uint8_t>(s.e + 1));
        break;
    case 0x13:
        left -= 6;
        SetDe(s, De(s) + 1u);
        break;
    case 0x14:
        left -= 4;
        s.d = Inc8(s, s.d);
        break;
    case 0x15:
        left -= 4;
        s.d = Dec8(s, s.d);
        break;
    case 0x16:
        left -= 7;
        s.d = Imm8(pc);
        break;
    case 0x17: { // RLA
        left -= 4;
        const unsigned carry = s.a >> 7;
        s.a = static_cast<uint8_t>(s.a << 1 | (s.f & kFlagC));
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | (s.a & kFlagXY) | carry);
        break;
    }
    case 0x18:
        left -= 12;
        Jr(pc);
        break;
    case 0x19:
        left -= 11;
        SetHl(s, Add16(s, Hl(s), De(s)));
        break;
    case 0x1A: // LD A,(DE)
        left -= 7;
        s.wz = De(s);
        s.a = Load(s.wz++);
        break;
    case 0x1B:
        left -= 6;
        SetDe(s, De(s) - 1u);
        break;
    case 0x1C:
        left -= 4;
        s.e = Inc8(s, s.e);
        break;
    case 0x1D:
        left -= 4;
        s.e = Dec8(s, s.e);
        break;
    case 0x1E:
        left -= 7;
        s.e = Imm8(pc);
        break;
    case 0x1F: { // RRA
        left -= 4;
        const unsigned carry = s.a & 1u;
        s.a = static_cast<uint8_t>(s.a >> 1 | (s.f & kFlagC) << 7);
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | (s.a & kFlagXY) | carry);
        break;
    }
    case 0x20:
        if (!(s.f & kFlagZ)) {
            left -= 12;
            Jr(pc);
        } else {
            left -= 7;
            ++pc;
        }
        break;
    case 0x21:
        left -= 10;
        SetHl(s, Imm16(pc));
        break;
    case 0x22: { // LD (nn),HL
        left -= 16;
        const uint16_t address = Imm16(pc);
        Write16(address, Hl(s));
        s.wz = static_cast<uint16_t>(address + 1);
        break;
    }
    case 0x23:
        left -= 6;
        SetHl(s, Hl(s) + 1u);
        break;
    case 0x24:
        left -= 4;
        s.h = Inc8(s, s.h);
        break;
    case 0x25:
        left -= 4;
        s.h = Dec8(s, s.h);
        break;
    case 0x26:
        left -= 7;
        s.h = Imm8(pc);
        break;
    case 0x27:
        left -= 4;
        Daa(s);
        break;
    case 0x28:
        if (s.f & kFlagZ) {
            left -= 12;
            Jr(pc);
        } else {
            left -= 7;
            ++pc;
        }
        break;
    case 0x29:
        left -= 11;
        SetHl(s, Add16(s, Hl(s), Hl(s)));
        break;
    case 0x2A: { // LD HL,(nn)
        left -= 16;
        const uint16_t address = Imm16(pc);
        SetHl(s, Read16(address));
        s.wz = static_cast<uint16_t>(address + 1);
        break;
    }
    case 0x2B:
        left -= 6;
        SetHl(s, Hl(s) - 1u);
        break;
    case 0x2C:
        left -= 4;
        s.l = Inc8(s, s.l);
        break;
    case 0x2D:
        left -= 4;
        s.l = Dec8(s, s.l);
        break;
    case 0x2E:
        left -= 7;
        s.l = Imm8(pc);
        break;
    case 0x2F: // CPL
        left -= 4;
        s.a = static_cast<uint8_t>(~s.a);
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV | kFlagC)) | (s.a & kFlagXY) |
                                   kFlagH | kFlagN);
        break;
    case 0x30:
        if (!(s.f & kFlagC)) {
            left -= 12;
            Jr(pc);
        } else {
            left -= 7;
            ++pc;
        }
        break;
    case 0x31:
        left -= 10;
        s.sp = Imm16(pc);
        break;
    case 0x32: { // LD (nn),A
        left -= 13;
        const uint16_t address = Imm16(pc);
        Store(address, s.a);
        s.wz = Pair(s.a, static_cast<uint8_t>(address + 1));
        break;
    }
    case 0x33:
        left -= 6;
        ++s.sp;
        break;
    case 0x34: {
        left -= 11;
        const uint16_t address = Hl(s);
        Store(address, Inc8(s, Load(address)));
        break;
    }
    case 0x35: {
        left -= 11;
        const uint16_t address = Hl(s);
        Store(address, Dec8(s, Load(address)));
        break;
    }
    case 0x36:
        left -= 10;
        Store(Hl(s), Imm8(pc));
        break;
    case 0x37: // SCF
        left -= 4;
        s.f = static_cast<uint8_t>((s.f & (kFlagS | kFlagZ | kFlagPV)) | (s.a & kFlagXY) | kFlagC);
        break;
    case 0x38:
        if (s.f & kFlagC) {
            left -= 12;
            Jr(pc);
        } else {
            left -= 7;
            ++pc;
        }
        break;
    case 0x39:
        left -= 11;
        SetHl(s, Add16(s, Hl(s), s.sp));
        break;
    case 0x3A: { // LD A,(nn)
        left -= 13;
        const uint16_t address = Imm16(pc);
        s.a = Load(address);
        s.wz = static_cast<uint16_t>(address + 1);
        break;
    }
    case 0x3B:
        left -= 6;
        --s.sp;
        break;
    case 0x3C:
        left -= 4;
        s.a = Inc8(s, s.a);
        break;
    case 0x3D:
        left -= 4;
        s.a = Dec8(s, s.a);
        break;
    case 0x3E:
        left -= 7;
        s.a = Imm8(pc);
        break;
    case 0x3F: // CCF: H takes the old carry
        left -= 4;
        s.f = static_cast<uint8_t>(((s.f & (kFlagS | kFlagZ | kFlagPV | kFlagC)) |
                                    ((s.f & kFlagC) << 4) | (s.a & kFlagXY)) ^
                                   kFlagC);
        break;

        RIX_LD_ROW(0x40, s.b)
        RIX_LD_ROW(0x48, s.c)
        RIX_LD_ROW(0x50, s.d)
        RIX_LD_ROW(0x58, s.e)
        RIX_LD_ROW(0x60, s.h)
        RIX_LD_ROW(0x68, s.l)
    case 0x70:
        left -= 7;
        Store(Hl(s), s.b);
        break;
    case 0x71:
        left -= 7;
        Store(Hl(s), s.c);
        break;
    case 0x72:
        left -= 7;
        Store(Hl(s), s.d);
        break;
    case 0x73:
        left -= 7;
        Store(Hl(s), s.e);
        break;
    case 0x74:
        left -= 7;
        Store(Hl(s), s.h);
        break;
    case 0x75:
        left -= 7;
        Store(Hl(s), s.l);
        break;
    case 0x76: // HALT: PC stays behind it, which is what an interrupt pushes
        left -= 4;
        s.halted = true;
        UpdateIntCheck();
        break;
    case 0x77:
        left -= 7;
        Store(Hl(s), s.a);
        break;
        RIX_LD_ROW(0x78, s.a)

        RIX_ALU_ROW(0x80, Add)
        RIX_ALU_ROW(0x88, Adc)
        RIX_ALU_ROW(0x90, Sub)
        RIX_ALU_ROW(0x98, Sbc)
        RIX_ALU_ROW(0xA0, And)
        RIX_ALU_ROW(0xA8, Xor)
        RIX_ALU_ROW(0xB0, Or)
        RIX_ALU_ROW(0xB8, Cp)

        RIX_COND_ROW(0xC0, !(s.f & kFlagZ))
        RIX_COND_ROW(0xC8, s.f & kFlagZ)
        RIX_COND_ROW(0xD0, !(s.f & kFlagC))
        RIX_COND_ROW(0xD8, s.f & kFlagC)
        RIX_COND_ROW(0xE0, !(s.f & kFlagPV))
        RIX_COND_ROW(0xE8, s.f & kFlagPV)
        RIX_COND_ROW(0xF0, !(s.f & kFlagS))
        RIX_COND_ROW(0xF8, s.f & kFlagS)

    case 0xC7: // RST p
    case 0xCF:
    case 0xD7:
    case 0xDF:
    case 0xE7:
    case 0xEF:
    case 0xF7:
    case 0xFF:
        left -= 11;
        Push(pc);
        pc = static_cast<uint16_t>(op & 0x38);
        s.wz = pc;
        break;
    case 0xC1:
        left -= 10;
        SetBc(s, Pop());
        break;
    case 0xC3:
        left -= 10;
        pc = Imm16(pc);
        s.wz = pc;
        break;
    case 0xC5:
        left -= 11;
        Push(Bc(s));
        break;
    case 0xC6:
        left -= 7;
        Add(s, Imm8(pc));
        break;
    case 0xC9:
        left -= 10;
        pc = Pop();
        s.wz = pc;
        break;
    case 0xCB:
        goto prefixCB;
    case 0xCD:
        left -= 17;
        s.wz = Imm16(pc);
        Push(pc);
        pc = s.wz;
        break;
    case 0xCE:
        left -= 7;
        Adc(s, Imm8(pc));
        break;
    case 0xD1:
        left -= 10;
        SetDe(s, Pop());
        break;
    case 0xD3: { // OUT (n),A
        left -= 11;
        const unsigned n = Imm8(pc);
        s.wz = Pair(s.a, static_cast<uint8_t>(n + 1));
        PortOut(static_cast<unsigned>(s.a) << 8 | n, s.a, pc, left, refresh);
        break;
    }
    case 0xD5:
        left -= 11;
        Push(De(s));
        break;
    case 0xD6:
        left -= 7;
        Sub(s, Imm8(pc));
        break;
    case 0xD9: { // EXX
        left -= 4;
        uint8_t t = s.b;
        s.b = s.b2;
        s.b2 = t;
        t = s.c;
        s.c = s.c2;
        s.c2 = t;
        t = s.d;
        s.d = s.d2;
        s.d2 = t;
        t = s.e;
        s.e = s.e2;
        s.e2 = t;
        t = s.h;
        s.h = s.h2;
        s.h2 = t;
        t = s.l;
        s.l = s.l2;
        s.l2 = t;
        break;
    }
    case 0xDB: { // IN A,(n)
        left -= 11;
        const unsigned port = static_cast<unsigned>(s.a) << 8 | Imm8(pc);
        s.wz = static_cast<uint16_t>(port + 1);
        s.a = PortIn(port, pc, left, refresh);
        break;
    }
    case 0xDD:
        xy = &s.ix;
        goto prefixXY;
    case 0xDE:
        left -= 7;
        Sbc(s, Imm8(pc));
        break;
    case 0xE1:
        left -= 10;
        SetHl(s, Pop());
        break;
    case 0xE3: { // EX (SP),HL
        left -= 19;
        const uint16_t v = Read16(s.sp);
        Store(s.sp + 1u, s.h);
        Store(s.sp, s.l);
        SetHl(s, v);
        s.wz = v;
        break;
    }
    case 0xE5:
        left -= 11;
        Push(Hl(s));
        break;
    case 0xE6:
        left -= 7;
        And(s, Imm8(pc));
        break;
    case 0xE9: // JP (HL)
        left -= 4;
        pc = Hl(s);
        break;
    case 0xEB: { // EX DE,HL
        left -= 4;
        uint8_t t = s.d;
        s.d = s.h;
        s.h = t;
        t = s.e;
        s.e = s.l;
        s.l = t;
        break;
    }
    case 0xED:
        ++refresh;
        op = Read(pc++);
        s.pc = pc;
        s.r = FoldRefresh(s.r, refresh);
        left = (op & 0xE4) == 0xA0 ? ExecuteBlock(op, left) : ExecuteExtended(op, left);
        pc = s.pc;
        refresh = s.r;
        break;
    case 0xEE:
        left -= 7;
        Xor(s, Imm8(pc));
        break;
    case 0xF1: {
        left -= 10;
        const uint16_t v = Pop();
        s.a = static_cast<uint8_t>(v >> 8);
        s.f = static_cast<uint8_t>(v);
        break;
    }
    case 0xF3: // DI
        left -= 4;
        s.iff1 = false;
        s.iff2 = false;
        UpdateIntCheck();
        break;
    case 0xF5:
        left -= 11;
        Push(Pair(s.a, s.f));
        break;
    case 0xF6:
        left -= 7;
        Or(s, Imm8(pc));
        break;
    case 0xF9:
        left -= 6;
        s.sp = Hl(s);
        break;
    case 0xFB: // EI: no interrupt before the next instruction has run
        left -= 4;
        s.iff1 = true;
        s.iff2 = true;
        UpdateIntCheck();
        if (left > 0) {
            goto fetch;
        }
        s.intDelay = true;
        break;
    case 0xFD:
        xy = &s.iy;
        goto prefixXY;
    case 0xFE:
        left -= 7;
        Cp(s, Imm8(pc));
        break;
    default: // every opcode has its case
        __builtin_unreachable();
#undef RIX_LD_ROW
#undef RIX_ALU_ROW
#undef RIX_COND_ROW
    }
    goto next;

conditionalRet:
    if (taken) {
        left -= 11;
        pc = Pop();
        s.wz = pc;
    } else {
        left -= 5;
    }
    goto next;
conditionalJp:
    left -= 10;
    s.wz = Imm16(pc);
    if (taken) {
        pc = s.wz;
    }
    goto next;
conditionalCall:
    s.wz = Imm16(pc);
    if (taken) {
        left -= 17;
        Push(pc);
        pc = s.wz;
    } else {
        left -= 10;
    }
    goto next;

prefixCB : {
    ++refresh;
    op = Read(pc++);
    const unsigned kind = (op >> 3) & 7;
    const unsigned reg = op & 7;
    if (reg == 6) {
        const uint16_t address = Hl(s);
        uint8_t v = Load(address);
        switch (op >> 6) {
        case 0:
            left -= 15;
            Store(address, Rotate(s, kind, v));
            break;
        case 1:
            left -= 12;
            Bit(s, kind, v, s.wz >> 8);
            break;
        case 2:
            left -= 15;
            Store(address, v & ~(1u << kind));
            break;
        default:
            left -= 15;
            Store(address, v | 1u << kind);
            break;
        }
    } else {
        left -= 8;
        uint8_t& r = Reg8(s, reg);
        switch (op >> 6) {
        case 0:
            r = Rotate(s, kind, r);
            break;
        case 1:
            Bit(s, kind, r, r);
            break;
        case 2:
            r = static_cast<uint8_t>(r & ~(1u << kind));
            break;
        default:
            r = static_cast<uint8_t>(r | 1u << kind);
            break;
        }
    }
}
    goto next;

prefixXY:
    // DD/FD: the prefix's own fetch, then the instruction with HL replaced by IX/IY. An
    // instruction that does not use HL runs as it would unprefixed, 4 cycles later. The
    // forms programs use most are here; ExecuteIndexed has the others (IXh/IXl and the
    // rarer ones), on the GBA out of IWRAM.
    left -= 4;
    ++refresh;
    op = Read(pc++);
    if ((op & 0xC0) == 0x40 && op != 0x76 && ((op & 7) == 6 || (op & 0xF8) == 0x70)) {
        // LD r,(IX+d) and LD (IX+d),r, with the real H and L.
        left -= 19 - 4;
        const uint16_t address = Indexed(pc, *xy);
        if ((op & 7) == 6) {
            Reg8(s, (op >> 3) & 7) = Load(address);
        } else {
            Store(address, Reg8(s, op & 7));
        }
        goto next;
    }
    if ((op & 0xC7) == 0x86) { // ADD ADC SUB SBC AND XOR OR CP with (IX+d)
        left -= 19 - 4;
        Alu(s, (op >> 3) & 7, Load(Indexed(pc, *xy)));
        goto next;
    }
    switch (op) {
    case 0x09:
        left -= 15 - 4;
        *xy = Add16(s, *xy, Bc(s));
        break;
    case 0x19:
        left -= 15 - 4;
        *xy = Add16(s, *xy, De(s));
        break;
    case 0x29:
        left -= 15 - 4;
        *xy = Add16(s, *xy, *xy);
        break;
    case 0x39:
        left -= 15 - 4;
        *xy = Add16(s, *xy, s.sp);
        break;
    case 0x21:
        left -= 14 - 4;
        *xy = Imm16(pc);
        break;
    case 0x23:
        left -= 10 - 4;
        ++*xy;
        break;
    case 0x2B:
        left -= 10 - 4;
        --*xy;
        break;
    case 0x34: {
        left -= 23 - 4;
        const uint16_t address = Indexed(pc, *xy);
        Store(address, Inc8(s, Load(address)));
        break;
    }
    case 0x35: {
        left -= 23 - 4;
        const uint16_t address = Indexed(pc, *xy);
        Store(address, Dec8(s, Load(address)));
        break;
    }
    case 0x36: {
        left -= 19 - 4;
        const uint16_t address = Indexed(pc, *xy);
        Store(address, Imm8(pc));
        break;
    }
    case 0xCB:
        s.pc = pc;
        left -= ExecuteIndexedBit(*xy);
        pc = s.pc;
        break;
    case 0xE1:
        left -= 14 - 4;
        *xy = Pop();
        break;
    case 0xE5:
        left -= 15 - 4;
        Push(*xy);
        break;
    case 0xDD:
    case 0xFD:
    case 0xED:
        // Another prefix: the first one was a 4-cycle no-op. No interrupt comes between a
        // prefix and what follows it, so a cut here is marked to keep that on resuming.
        if (left > 0) {
            goto dispatch;
        }
        --pc;
        --refresh;
        s.intDelay = true;
        break;
    default: {
        s.pc = pc;
        const int rest = ExecuteIndexed(op, *xy, left);
        if (rest == kNotIndexed) {
            goto dispatch;
        }
        left = rest;
        pc = s.pc;
        break;
    }
    }
    goto next;

done:
    s.pc = pc;
    s.r = FoldRefresh(s.r, refresh);
    s.cycles += static_cast<uint64_t>(static_cast<int64_t>(cycles) - left);
    runBudget_ = 0;
    cyclesLeft_ = 0;
    return -left;
}

} // namespace rix::emu

#if RIX_Z80_ARM
// The offsets Z80Arm.s uses, from the page tables (its r11) to each field.
extern "C" void rix_z80_arm_layout_check() {
    using rix::emu::StreamPort;
    using rix::emu::StreamPortState;
    using rix::emu::Z80;
    using rix::emu::Z80State;
    constexpr auto kTables = offsetof(Z80, readPages_);
    static_assert(kTables == 48 && offsetof(Z80, state_) == 0 && sizeof(Z80State) == 48);
    constexpr auto field = [](size_t offset) { return static_cast<long>(offset) - 48; };
    static_assert(
        field(offsetof(Z80State, c)) == -48 && field(offsetof(Z80State, a)) == -42 &&
        field(offsetof(Z80State, f)) == -41 && field(offsetof(Z80State, ix)) == -32 &&
        field(offsetof(Z80State, iy)) == -30 && field(offsetof(Z80State, sp)) == -28 &&
        field(offsetof(Z80State, pc)) == -26 && field(offsetof(Z80State, wz)) == -24 &&
        field(offsetof(Z80State, r)) == -21 && field(offsetof(Z80State, halted)) == -17 &&
        field(offsetof(Z80State, intDelay)) == -16 && field(offsetof(Z80State, ldAirLast)) == -15 &&
        field(offsetof(Z80State, nmiPending)) == -13 && field(offsetof(Z80State, cycles)) == -8);
    static_assert(
        offsetof(Z80, writePages_) - kTables == 256 &&
        offsetof(Z80, memoryContext_) - kTables == 512 &&
        offsetof(Z80, memoryRead_) - kTables == 516 &&
        offsetof(Z80, memoryWrite_) - kTables == 520 &&
        offsetof(Z80, portContext_) - kTables == 524 && offsetof(Z80, portRead_) - kTables == 528 &&
        offsetof(Z80, portWrite_) - kTables == 532 && offsetof(Z80, intCheck_) - kTables == 536 &&
        offsetof(Z80, attention_) - kTables == 537 && offsetof(Z80, portsBlind_) - kTables == 538 &&
        offsetof(Z80, runBudget_) - kTables == 544 && offsetof(Z80, cyclesLeft_) - kTables == 548 &&
        offsetof(Z80, fetchLimit_) - kTables == 552 &&
        offsetof(Z80, fetchStart_) - kTables == 808 && offsetof(Z80, armStack_) - kTables == 1064 &&
        offsetof(Z80, pcBase_) - kTables == 1072 && offsetof(Z80, regionStart_) - kTables == 1076 &&
        offsetof(Z80, armSave_) - kTables == 1080 && sizeof(Z80::armSave_) == 88);
    static_assert(offsetof(Z80, stream_) - kTables == 1172 &&
                  offsetof(Z80, stream_) + offsetof(StreamPort, memory) - kTables == 1176 &&
                  offsetof(Z80, stream_) + offsetof(StreamPort, marks) - kTables == 1180 &&
                  offsetof(Z80, stream_) + offsetof(StreamPort, addressMask) - kTables == 1184 &&
                  sizeof(StreamPort::addressMask) == 4 &&
                  offsetof(Z80, streamMask_) - kTables == 1188 &&
                  offsetof(Z80, streamMatch_) - kTables == 1189);
    static_assert(offsetof(StreamPortState, address) == 0 && offsetof(StreamPortState, last) == 2 &&
                  offsetof(StreamPortState, pending) == 3);
}

extern "C" int rix_z80_arm_step(rix::emu::Z80* cpu, int cycles) {
    return cpu->RunPortable(cycles);
}
#endif
