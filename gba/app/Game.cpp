#include "Game.h"

#include "GameVideo.h"
#include "Hardware.h"
#include "Overlay.h"
#include "Platform.h"
#include "Profile.h"
#include "Record.h"
#include "Sound.h"
#include "TestPort.h"
#include "core/Machine.h"

extern "C" {
extern volatile std::uint32_t gVblankCount;
}

namespace rix::gba {

namespace {

// The Z80 (its registers and page tables are read on every instruction) and the console's RAM
// in IWRAM; the rest of the machine, about 19 KiB and most of it video memory, in EWRAM. The
// constructors run at start-up, after the sections are cleared, in this order.
rix::emu::Z80 gCpu;
std::uint8_t gRam[rix::emu::Machine::kRamSize];
RIX_EWRAM_BSS rix::emu::Machine gMachine(gCpu, gRam);
// Not in a cleared section: its table pointer is initialised as data, not by a constructor.
GameVideo gGameVideo;
// A cartridge of 32 KiB or less runs from a copy in the video memory the game's picture leaves
// free: the Z80 fetches every opcode and operand byte through the CPU's data bus, where video
// memory takes a cycle a byte, EWRAM 3 and the cartridge's ROM 4. The copy keeps the ROM's
// place within a word (ROMs lie unaligned in the cartridge), so that one 32-bit DMA (video
// memory takes no byte writes) makes it in time for the game's first frame. The menu may be
// showing part of that memory: the display is blanked first.
static_assert(rix::emu::kCartridgeWindow + 3 <= kFreeVramSize);

const std::uint8_t* CopyRom(const std::uint8_t* rom, std::uint32_t size) {
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntForcedBlank;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(rom);
    const std::uint32_t skew = address & 3;
    hw::Reg<std::uint32_t>(hw::kDma3sad) = std::uint32_t(address - skew);
    hw::Reg<std::uint32_t>(hw::kDma3dad) = std::uint32_t(kFreeVram);
    hw::Reg<std::uint32_t>(hw::kDma3cnt) = hw::kDmaEnable32 | ((skew + size + 3) / 4);
    return reinterpret_cast<const std::uint8_t*>(kFreeVram) + skew;
}

// What the machine draws through: the game's picture, then the chip's dirty map cleared at once,
// before the frame's remaining lines (the game's vertical blank routine) write again.
class ShownFrames final : public rix::emu::VideoRenderer {
public:
    void Frame(const rix::emu::Vdp& vdp) override {
        gGameVideo.Frame(vdp);
        gMachine.Video().ClearDirty();
    }
};

// How far behind the console's pace the game may fall before the debt is forgiven, and how many
// frames in a row may go undrawn while it catches up.
constexpr std::uint32_t kMaxFramesBehind = 4;
constexpr int kMaxUndrawnFrames = 3;

// A frame run without its picture: the chip's dirty map keeps what it changed for the next
// frame that is drawn.
class NotDrawn final : public rix::emu::VideoRenderer {};

void WaitForVblank(std::uint32_t seen) {
    while (gVblankCount == seen) {
        asm volatile("swi 0x05" ::: "r0", "r1", "r2", "r3", "memory"); // VBlankIntrWait
    }
}

std::uint16_t HeldKeys() {
    return std::uint16_t(~hw::Reg<std::uint16_t>(hw::kKeyinput) & hw::kKeyMask);
}

// Keys a test asks for on emulated frame `frame` (counted from 1).
std::uint16_t ScriptedKeys(const TestPort& port, std::uint32_t frame) {
    std::uint16_t keys = 0;
    const std::uint32_t count =
        port.pressCount < kTestPortPresses ? port.pressCount : kTestPortPresses;
    for (std::uint32_t i = 0; i < count; ++i) {
        const TestPress& press = port.presses[i];
        if (frame >= press.first && frame <= press.last) {
            keys = std::uint16_t(keys | (press.keys & hw::kKeyMask));
        }
    }
    return keys;
}

// Watches the player's own combinations.
class Combinations {
public:
    // Returns true once the way back has been held long enough.
    bool Leave(std::uint16_t held, std::uint32_t vblank) {
        if ((held & kLeaveKeys) != kLeaveKeys) {
            leaveSince_ = kNever;
            return false;
        }
        if (leaveSince_ == kNever) {
            leaveSince_ = vblank;
        }
        return vblank - leaveSince_ >= kLeaveFrames;
    }
    // Returns true when L + R + Select were pressed together and let go without Start.
    bool NextView(std::uint16_t held) {
        if ((held & kViewKeys) == kViewKeys) {
            armed_ = true;
            spoilt_ = spoilt_ || (held & hw::kKeyStart) != 0;
            return false;
        }
        const bool fire = armed_ && !spoilt_ && (held & kViewKeys) == 0;
        if ((held & kViewKeys) == 0) {
            armed_ = false;
            spoilt_ = false;
        }
        return fire;
    }

private:
    static constexpr std::uint32_t kNever = 0xFFFFFFFFu;
    std::uint32_t leaveSince_ = kNever;
    bool armed_ = false;
    bool spoilt_ = false;
};

} // namespace

void PlayGame(const GameStart& start) {
    LoadGameCode();
    rix::emu::MachineConfig config;
    config.rom = start.rom;
    config.romSize = start.romSize;
    if (start.romSize <= rix::emu::kCartridgeWindow) {
        config.rom = CopyRom(start.rom, start.romSize);
    }
    config.bios = start.bios;
    ApplyRecord(start.record, config);
    gMachine.Load(config);
    // The GBA's own sound channels play the chip's registers; its counters are not needed.
    gMachine.SetSoundClocked(false);
    StartSound();

    TestPort& port = Port();
    port.game = start.number;
    port.frames = 0;
    port.ram = std::uint32_t(reinterpret_cast<std::uintptr_t>(gMachine.Ram()));
    port.cpu = std::uint32_t(reinterpret_cast<std::uintptr_t>(&gMachine.Cpu().State()));
    port.vram = std::uint32_t(reinterpret_cast<std::uintptr_t>(gMachine.Video().Vram()));
    gGameVideo.Start(View::kFit);
    port.view = std::uint32_t(gGameVideo.CurrentView());

    ShownFrames picture;
    NotDrawn notDrawn;
    Combinations combinations;
    // The vertical blank the next emulated frame is due at: the console's pace is one frame per
    // GBA frame. Behind it, frames are run without being drawn, never with fewer Z80 cycles.
    std::uint32_t due = gVblankCount;
    int undrawn = 0;
    for (;;) {
        const std::uint16_t held = HeldKeys();
        if (combinations.Leave(held, gVblankCount)) {
            break;
        }
        if (combinations.NextView(held)) {
            gGameVideo.SetView(View((int(gGameVideo.CurrentView()) + 1) % kViewCount));
            port.view = std::uint32_t(gGameVideo.CurrentView());
        }
        if (port.stopAt != 0 && port.frames >= port.stopAt) {
            // A test holds the game on this frame; the picture stays as it is.
            RIX_PROFILE_HOLD(true);
            WaitForVblank(gVblankCount);
            due = gVblankCount;
            continue;
        }
        RIX_PROFILE_HOLD(false);
        const std::uint32_t now = gVblankCount;
        if (now - due > kMaxFramesBehind) {
            due = now - kMaxFramesBehind; // a debt this old is not worth catching up
        }
        // More than a frame behind: this one is not drawn, unless a test is to look at it, or
        // the picture has not changed for too long.
        const bool shownNext = port.stopAt != 0 && port.frames + 1 >= port.stopAt;
        const bool draw = now - due < 2 || undrawn >= kMaxUndrawnFrames || shownNext;
        gMachine.SetKeys(std::uint16_t(held | ScriptedKeys(port, port.frames + 1)));
        gMachine.RunFrame(draw ? static_cast<rix::emu::VideoRenderer&>(picture) : notDrawn);
        undrawn = draw ? 0 : undrawn + 1;
        // Once a frame: games set the chip in their frame interrupt.
        RIX_PROFILE_BEGIN(Sound);
        UpdateSound(gMachine.Sound());
        RIX_PROFILE_END(Sound);
        ++port.frames;
        ++due;
        // Never faster than the console: no frame before its vertical blank.
        RIX_PROFILE_BEGIN(Idle);
        while (std::int32_t(gVblankCount - due) < 0) {
            WaitForVblank(gVblankCount);
        }
        RIX_PROFILE_END(Idle);
    }

    RIX_PROFILE_HOLD(true);
    StopSound();
    gGameVideo.Stop();
    gMachine.Reset();
    port.game = 0;
    port.frames = 0;
    LoadMenuCode();
}

} // namespace rix::gba
