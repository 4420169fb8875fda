// The Z80 benchmark image: times the machine running a Z80 mix, and the video chip's line
// renderer, with the GBA's own timers, leaves the figures at bench::kResultsAddress for a host to
// read, and shows them. Built by `make -C gba bench`; never part of the cartridge image.
#include <cstdint>

#include "app/GameVideo.h"
#include "app/Hardware.h"
#include "app/Overlay.h"
#include "app/Platform.h"
#include "app/TextScreen.h"
#include "app/Video.h"
#include "bench/Z80Bench.h"

extern "C" {
// Counted by the interrupt handler in crt0.s.
volatile std::uint32_t gVblankCount;
// End of what start-up clears in EWRAM (linker script): the results block must lie behind it.
extern char __ewram_bss_end[];
int main();
}

namespace rix::gba {
namespace {

using bench::Results;

// Placed as the cartridge places it (app/Game.cpp): the Z80 and the console's RAM in IWRAM, the
// rest of the machine (about 19 KiB, most of it video memory) in EWRAM.
rix::emu::Z80 gCpu;
std::uint8_t gRam[rix::emu::Machine::kRamSize];
RIX_EWRAM_BSS rix::emu::Machine gMachine(gCpu, gRam);
std::uint8_t gLineBuffer[rix::emu::Vdp::kWidth];
RIX_EWRAM_BSS Video gVideo;
RIX_EWRAM_BSS TextScreen gScreen;

// TM0 counts system clocks and TM1 counts TM0's overflows: a 32-bit count of ARM cycles.
void StartTimer() {
    hw::StartCycleCount();
}

std::uint32_t StopTimer() {
    hw::Reg<std::uint16_t>(hw::kTm0cntH) = 0;
    const std::uint32_t low = hw::Reg<std::uint16_t>(hw::kTm0cntL);
    const std::uint32_t high = hw::Reg<std::uint16_t>(hw::kTm1cntL);
    hw::Reg<std::uint16_t>(hw::kTm1cntH) = 0;
    return high << 16 | low;
}

std::uint32_t Elapsed(std::uint32_t cycles, std::uint32_t overhead) {
    return cycles > overhead ? cycles - overhead : 0;
}

// The mix's page where the cartridge program keeps a small cartridge's copy (app/GameVideo.h),
// written a word at a time (video memory takes no byte writes).
const std::uint8_t* CopyMix() {
    auto* to = reinterpret_cast<volatile std::uint32_t*>(kFreeVram);
    const auto* from = reinterpret_cast<const std::uint32_t*>(bench::kMixPage.bytes);
    for (std::size_t i = 0; i < sizeof bench::kMixPage.bytes / 4; ++i) {
        to[i] = from[i];
    }
    return reinterpret_cast<const std::uint8_t*>(kFreeVram);
}

void TimeMix(Results& results) {
    bench::PrepareMix(gMachine, CopyMix());
    const std::uint64_t before = gMachine.Cpu().ElapsedCycles();
    StartTimer();
    bench::RunMix(gMachine);
    const std::uint32_t cycles = StopTimer();
    results.z80Cycles = std::uint32_t(gMachine.Cpu().ElapsedCycles() - before);
    results.armCycles = Elapsed(cycles, results.timerOverhead);
    // The CRC table lives in the menu's IWRAM set (app/Overlay.h), the machine in the game's.
    LoadMenuCode();
    results.digest = bench::MixDigest(gMachine);
    LoadGameCode();

    bench::PrepareMix(gMachine, CopyMix());
    const std::uint64_t start = gMachine.Cpu().ElapsedCycles();
    StartTimer();
    bench::RunMixCpuOnly(gMachine);
    const std::uint32_t cpuCycles = StopTimer();
    results.cpuZ80Cycles = std::uint32_t(gMachine.Cpu().ElapsedCycles() - start);
    results.cpuArmCycles = Elapsed(cpuCycles, results.timerOverhead);
}

// A busy Graphics II screen: every pattern, colour and name byte set, and 24 magnified 16 x 16
// sprites in six bands of four, so that each of the 192 lines shows four of them.
void PrepareVideo(rix::emu::Vdp& vdp) {
    vdp.Reset();
    const std::uint8_t registers[8] = {0x02, 0xC3, 0x06, 0xFF, 0x03, 0x36, 0x07, 0xF4};
    for (int r = 0; r < 8; ++r) {
        vdp.WriteControl(registers[r]);
        vdp.WriteControl(std::uint8_t(0x80 | r));
    }
    vdp.WriteControl(0x00);
    vdp.WriteControl(0x40); // write from address 0
    std::uint32_t seed = 0x12345678;
    for (std::uint32_t i = 0; i < rix::emu::Vdp::kVramSize; ++i) {
        seed = seed * 1664525u + 1013904223u;
        vdp.WriteData(std::uint8_t(seed >> 24));
    }
    vdp.WriteControl(0x00);
    vdp.WriteControl(0x40 | 0x1B); // sprite attributes at 1B00h
    for (int sprite = 0; sprite < 24; ++sprite) {
        const int band = sprite / 4;
        vdp.WriteData(std::uint8_t(band * 32 - 1)); // Y counts from the line above
        vdp.WriteData(std::uint8_t(16 + (sprite % 4) * 56 + band * 4));
        vdp.WriteData(std::uint8_t(sprite * 4));
        vdp.WriteData(std::uint8_t(1 + sprite % 15));
    }
    vdp.WriteData(208); // the end of the list
}

void TimeVideo(Results& results) {
    rix::emu::Vdp& vdp = gMachine.Video();
    PrepareVideo(vdp);
    constexpr int kLines = rix::emu::Vdp::kActiveLines;
    StartTimer();
    for (int line = 0; line < kLines; ++line) {
        vdp.ScanLine(line, gLineBuffer);
    }
    results.vdpDrawCycles = Elapsed(StopTimer(), results.timerOverhead);
    vdp.SetSpriteStatus(rix::emu::Vdp::SpriteStatus::kPerLine);
    StartTimer();
    for (int line = 0; line < kLines; ++line) {
        vdp.ScanLine(line, nullptr);
    }
    results.vdpStatusCycles = Elapsed(StopTimer(), results.timerOverhead);
    // The same status worked out once, at line 192 (the machine's "Normal" collision mode).
    vdp.SetSpriteStatus(rix::emu::Vdp::SpriteStatus::kPerFrame);
    StartTimer();
    vdp.ScanLine(kLines, nullptr);
    results.vdpFrameStatusCycles = Elapsed(StopTimer(), results.timerOverhead);
    vdp.SetSpriteStatus(rix::emu::Vdp::SpriteStatus::kPerLine);
    vdp.WriteControl(0x00);
    vdp.WriteControl(0x40 | 0x1B);
    vdp.WriteData(208); // no sprites
    StartTimer();
    for (int line = 0; line < kLines; ++line) {
        vdp.ScanLine(line, gLineBuffer);
    }
    results.vdpPlainCycles = Elapsed(StopTimer(), results.timerOverhead);
    results.vdpLines = kLines;
}

// value / divisor with two decimals.
void Decimal(Line& line, std::uint32_t value, std::uint32_t divisor) {
    const std::uint64_t hundredths = (std::uint64_t(value) * 100 + divisor / 2) / divisor;
    const auto fraction = std::uint32_t(hundredths % 100);
    line.Dec(std::uint32_t(hundredths / 100)).Char('.');
    line.Char(char('0' + fraction / 10)).Char(char('0' + fraction % 10));
}

void Show(const Results& results) {
    // The text screen's code shares IWRAM with the machine's (app/Overlay.h): loaded once the
    // measurements are done.
    LoadMenuCode();
    gVideo.Init();
    gScreen.Clear();
    Line(gScreen, 0, 1, kInkAccent).Paper(kPaperTitle).Text("Z80 core benchmark");
    int row = 2;
    Line(gScreen, row++).Text("Machine: ").Dec(results.z80Cycles).Text(" Z80 cycles");
    Line arm(gScreen, row++, 3);
    arm.Dec(results.armCycles).Text(" ARM, ");
    Decimal(arm, results.armCycles, results.z80Cycles);
    arm.Text(" per Z80 cycle");
    Line(gScreen, row++, 3, kInkDim).Text("digest ").Hex(results.digest, 8);
    Line(gScreen, row++, 1, kInkDim).Text("budget 4.70 per Z80 cycle, all chips");
    ++row;
    Line(gScreen, row++).Text("Video chip, Graphics II, 4 sprites:");
    Line draw(gScreen, row++, 3);
    Decimal(draw, results.vdpDrawCycles, results.vdpLines);
    draw.Text(" ARM/line, drawn");
    Line status(gScreen, row++, 3);
    Decimal(status, results.vdpStatusCycles, results.vdpLines);
    status.Text(" ARM/line, status only");
    Line plain(gScreen, row++, 3);
    Decimal(plain, results.vdpPlainCycles, results.vdpLines);
    plain.Text(" ARM/line, drawn, no sprites");
    Line(gScreen, row++, 1, kInkDim).Text("budget 1071 ARM per line, all chips");
    Line(gScreen, kRows - 1, 1, kInkDim).Text("done");
    gVideo.Draw(gScreen);
    gVideo.Flip();
}

void Run() {
    // ROM wait states as a game sets them (3/1 with the prefetch buffer): the mix's code is
    // read from the cartridge.
    hw::Reg<std::uint16_t>(hw::kWaitcnt) = hw::kWaitcntFastRom;
    if (reinterpret_cast<std::uintptr_t>(__ewram_bss_end) > bench::kResultsAddress) {
        // The image's own data would overlap the figures: say so and never write the marker.
        LoadMenuCode();
        gVideo.Init();
        gScreen.Clear();
        Line(gScreen, 0, 1, kInkAccent).Paper(kPaperError).Text("EWRAM data reaches the results");
        gVideo.Draw(gScreen);
        gVideo.Flip();
        for (;;) {
            asm volatile("" ::: "memory");
        }
    }

    // Interrupts stay off while timing, so that the figures are the code's alone.
    auto& results = *reinterpret_cast<Results*>(bench::kResultsAddress);
    results = Results{};
    StartTimer();
    results.timerOverhead = StopTimer();
    TimeMix(results);
    TimeVideo(results);
    asm volatile("" ::: "memory"); // the figures are in place before the marker says so
    results.marker = bench::kDoneMarker;

    Show(results);
    hw::Reg<std::uint16_t>(hw::kDispstat) = hw::kDispstatVblankIrq;
    hw::Reg<std::uint16_t>(hw::kIe) = hw::kIrqVblank;
    hw::Reg<std::uint16_t>(hw::kIme) = 1;
    for (;;) {
        asm volatile("swi 0x05" ::: "r0", "r1", "r2", "r3", "memory"); // VBlankIntrWait
    }
}

} // namespace
} // namespace rix::gba

int main() {
    rix::gba::Run();
    return 0;
}
