// The profile image's clock: TM2 counts system clocks and TM3 its overflows (TM0 and TM1 are
// left for sound), a 32-bit count of ARM cycles that runs from start-up. Each mark charges the
// cycles since the previous one to the part that was running, with interrupts off so that the
// vertical blank hook's marks cannot land in the middle of a sum. Only built into the profile
// image (the Makefile leaves this file out of rix.gba).
#include "Profile.h"

#include "Hardware.h"
#include "Platform.h"

namespace rix::gba {

namespace {

constexpr std::uintptr_t kTm2cntL = 0x04000108;
constexpr std::uintptr_t kTm2cntH = 0x0400010A;
constexpr std::uintptr_t kTm3cntL = 0x0400010C;
constexpr std::uintptr_t kTm3cntH = 0x0400010E;
constexpr std::uint32_t kIrqMask = 0x80; // CPSR's I bit
constexpr int kCalibrationMarks = 256;

struct State {
    std::uint32_t last;  // the clock at the last mark
    int part;            // the part running since then
    bool counting;       // a game runs and is not held
    std::uint32_t since; // the clock when counting began
    // The block's sums while counting, here because EWRAM's 16-bit bus would double a mark's
    // cost: taken from the block when counting begins (a harness may have zeroed it), put back
    // when it ends.
    std::uint32_t switches;
    std::uint32_t parts[rix::emu::kProfileParts];
};
State gState;

RIX_ALWAYS_INLINE std::uint32_t Now() {
    // The high half may step between the reads: a low half read just after its wrap is small
    // and belongs with the second high half, one read just before it with the first.
    const std::uint32_t high = hw::Reg<std::uint16_t>(kTm3cntL);
    const std::uint32_t low = hw::Reg<std::uint16_t>(kTm2cntL);
    const std::uint32_t again = hw::Reg<std::uint16_t>(kTm3cntL);
    if (high == again || low >= 0x8000) {
        return high << 16 | low;
    }
    return again << 16 | low;
}

// ARM code only: Thumb has no MRS/MSR.
RIX_ALWAYS_INLINE std::uint32_t MaskIrqs() {
    std::uint32_t cpsr;
    asm volatile("mrs %0, cpsr" : "=r"(cpsr));
    asm volatile("msr cpsr_c, %0" ::"r"(cpsr | kIrqMask) : "memory");
    return cpsr;
}

RIX_ALWAYS_INLINE void RestoreIrqs(std::uint32_t cpsr) {
    asm volatile("msr cpsr_c, %0" ::"r"(cpsr) : "memory");
}

// Runs before main (interrupts still masked): starts the clock and measures what a mark costs.
[[gnu::constructor]] void StartProfile() {
    hw::Reg<std::uint16_t>(kTm2cntH) = 0;
    hw::Reg<std::uint16_t>(kTm3cntH) = 0;
    hw::Reg<std::uint16_t>(kTm2cntL) = 0;
    hw::Reg<std::uint16_t>(kTm3cntL) = 0;
    hw::Reg<std::uint16_t>(kTm3cntH) = hw::kTimerEnable | hw::kTimerCascade;
    hw::Reg<std::uint16_t>(kTm2cntH) = hw::kTimerEnable;

    gState = State{Now(), rix::emu::kProfileOther, false, 0, 0, {}};
    const std::uint32_t before = Now();
    for (int i = 0; i < kCalibrationMarks / 2; ++i) {
        const int outer = rix::emu::ProfileSwitch(rix::emu::kProfileCpu);
        rix::emu::ProfileSwitch(outer);
    }
    ProfileBlock& block = Profile();
    block.switchCycles = (Now() - before) / kCalibrationMarks;
    block.span = 0;
    block.switches = 0;
    for (std::uint32_t& part : block.parts) {
        part = 0;
    }
    block.marker = kProfileMarker;
}

} // namespace

// Once a frame: ARM code (for the status register), left in ROM to spare IWRAM.
__attribute__((target("arm"), noinline)) void ProfileHold(bool held) {
    const std::uint32_t cpsr = MaskIrqs();
    const std::uint32_t now = Now();
    ProfileBlock& block = Profile();
    // Called on every pass of the frame loop: only a change of state touches the sums.
    if (held && gState.counting) {
        gState.parts[gState.part] += now - gState.last;
        block.span += now - gState.since;
        block.switches = gState.switches;
        for (int part = 0; part < rix::emu::kProfileParts; ++part) {
            block.parts[part] = gState.parts[part];
        }
        gState.counting = false;
        gState.last = now;
    } else if (!held && !gState.counting) {
        gState.switches = block.switches;
        for (int part = 0; part < rix::emu::kProfileParts; ++part) {
            gState.parts[part] = block.parts[part];
        }
        gState.counting = true;
        gState.since = now;
        gState.last = now;
    }
    RestoreIrqs(cpsr);
}

} // namespace rix::gba

namespace rix::emu {

RIX_IWRAM_CODE int ProfileSwitch(int part) {
    using rix::gba::gState;
    const std::uint32_t cpsr = rix::gba::MaskIrqs();
    const std::uint32_t now = rix::gba::Now();
    const int outer = gState.part;
    if (gState.counting) {
        gState.parts[outer] += now - gState.last;
        ++gState.switches;
    }
    gState.last = now;
    gState.part = part;
    rix::gba::RestoreIrqs(cpsr);
    return outer;
}

} // namespace rix::emu
