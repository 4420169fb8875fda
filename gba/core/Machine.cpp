#include "Machine.h"

#include <string.h>

#include "core/Platform.h"
#include "core/RixBios.h"

namespace rix::emu {

namespace {

constexpr uint32_t kPageSize = kZ80PageSize;
constexpr uint32_t kBankWindow = 0xC000;      // MegaCart: the switched 16 KiB
constexpr uint32_t kBankSelectFirst = 0xFFC0; // MegaCart: reads from here on select a bank
constexpr uint32_t kRamWindowEnd = 0x8000;    // RAM mirrors: 0x6000-0x7FFF

// Port groups: the console decodes address bits 7-5 only.
constexpr uint8_t kPortGroupMask = 0xE0;
constexpr uint8_t kPortKeypadMode = 0x80;
constexpr uint8_t kPortVideo = 0xA0;
constexpr uint8_t kPortJoystickMode = 0xC0;
constexpr uint8_t kPortControllers = 0xE0; // reads: controllers; writes: the sound chip
constexpr uint8_t kPortSecondController = 0x02;

constexpr uint8_t kJoystickUp = 0x01;
constexpr uint8_t kJoystickRight = 0x02;
constexpr uint8_t kJoystickDown = 0x04;
constexpr uint8_t kJoystickLeft = 0x08;

class NoRenderer final : public VideoRenderer {};

constexpr bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

CartridgeLayout DescribeCartridge(uint32_t romSize) {
    if (romSize <= kCartridgeWindow) {
        return {CartridgeKind::kPlain, 0, romSize};
    }
    if (IsPowerOfTwo(romSize) && romSize <= kMegaCartMax) {
        return {CartridgeKind::kMegaCart, romSize / kMegaCartBank, romSize};
    }
    return {CartridgeKind::kPartial, 0, kCartridgeWindow};
}

LineCycles EffectiveLineCycles(int32_t recordValue) {
    if (recordValue == 0) {
        return {kRealLineCycles, false};
    }
    if (recordValue < kMinLineCycles || recordValue > kMaxLineCycles) {
        return {kRealLineCycles, true};
    }
    return {recordValue, false};
}

CollisionMode CollisionModeFromRecord(uint8_t value) {
    switch (value) {
    case static_cast<uint8_t>(CollisionMode::kPrecise):
        return CollisionMode::kPrecise;
    case static_cast<uint8_t>(CollisionMode::kOff):
        return CollisionMode::kOff;
    default:
        return CollisionMode::kNormal;
    }
}

void Machine::Load(const MachineConfig& config) {
    rom_ = config.rom;
    romSize_ = config.rom ? config.romSize : 0;
    ownBios_ = config.bios == nullptr;
    bios_ = ownBios_ ? kRixBios : config.bios;
    for (int i = 0; i < kControlButtons; ++i) {
        controls_[i] = config.controls[i];
    }
    layout_ = DescribeCartridge(romSize_);
    lineCycles_ = EffectiveLineCycles(config.cycleCount).cycles;
    collision_ = CollisionModeFromRecord(config.collision);

    *cpu_ = Z80();
    cpu_->MapRead(0, kBiosSize, bios_);
    for (uint32_t at = kRamAddress; at < kRamWindowEnd; at += kRamSize) {
        cpu_->MapRead(at, kRamSize, ram_);
        cpu_->MapWrite(at, kRamSize, ram_);
    }
    cpu_->SetMemoryCallbacks(this, MemoryRead, nullptr);
    cpu_->SetPortCallbacks(this, PortRead, PortWrite);
    cpu_->SetPortsBlind(true); // the chips never look at the CPU
    // The video chip's data port, the busiest of all, written without a call.
    cpu_->SetStreamPort(kPortGroupMask | 1, kPortVideo, vdp_.DataPort());
    Reset();
}

void Machine::Reset() {
    const Z80State fresh = Z80().State();
    cpu_->SetState(fresh);
    vdp_.Reset();
    switch (collision_) {
    case CollisionMode::kPrecise:
        vdp_.SetSpriteStatus(Vdp::SpriteStatus::kPerLine);
        break;
    case CollisionMode::kOff:
        vdp_.SetSpriteStatus(Vdp::SpriteStatus::kPerFrameNoCoincidence);
        break;
    case CollisionMode::kNormal:
        vdp_.SetSpriteStatus(Vdp::SpriteStatus::kPerFrame);
        break;
    }
    psg_.Reset();
    memset(ram_, 0, kRamSize);
    joystickMode_ = false;
    keys_ = 0;
    frames_ = 0;
    nmis_ = 0;
    overrun_ = 0;
    sampleClocks_ = 0;
    samplesDone_ = 0;
    sampleRate_ = 0;
    MapCartridge();
}

void Machine::MapCartridge() {
    // Whole pages of the ROM are read in place; a page the ROM only partly fills is read from
    // a copy filled up with 0xFF (small programs run from it, and the memory callback would
    // cost every fetch a call); the pages behind it go through MemoryRead, which gives 0xFF.
    cpu_->MapRead(kCartridgeWindow, kCartridgeWindow, nullptr);
    bank_ = 0;
    if (layout_.kind == CartridgeKind::kMegaCart) {
        // The last bank holds the header and the start-up code; bank 0 sits in the window until
        // the program selects another.
        const uint8_t* fixed = rom_ + romSize_ - kMegaCartBank;
        cpu_->MapRead(kCartridgeWindow, kMegaCartBank, fixed);
        SelectBank(0);
        return;
    }
    const uint32_t whole = layout_.mappedBytes / kPageSize * kPageSize;
    if (whole != 0) {
        cpu_->MapRead(kCartridgeWindow, whole, rom_);
    }
    const uint32_t rest = layout_.mappedBytes - whole;
    if (rest != 0) {
        memset(tailPage_, 0xFF, sizeof tailPage_);
        memcpy(tailPage_, rom_ + whole, rest);
        cpu_->MapRead(kCartridgeWindow + whole, kPageSize, tailPage_);
    }
}

void Machine::SelectBank(uint32_t bank) {
    bank_ = bank & (layout_.banks - 1);
    // The window's last page stays with MemoryRead, which watches for the selecting reads.
    cpu_->MapRead(kBankWindow, kMegaCartBank - kPageSize, rom_ + bank_ * kMegaCartBank);
}

uint8_t Machine::MemoryRead(void* context, uint16_t address) {
    // Every page the ROM fills is mapped; what reaches here is 0x2000-0x5FFF, the pages behind a
    // ROM's end (nothing answers either) and a MegaCart window's last page.
    auto& m = *static_cast<Machine*>(context);
    if (m.layout_.kind != CartridgeKind::kMegaCart || address < kBankWindow) {
        return 0xFF;
    }
    // The read itself still sees the bank that was selected when it began.
    const uint8_t value = m.rom_[m.bank_ * kMegaCartBank + (address - kBankWindow)];
    if (address >= kBankSelectFirst) {
        m.SelectBank(address);
    }
    return value;
}

uint8_t Machine::ReadController(int index) const {
    if (index != 0) {
        return kControllerIdle; // nothing plugged into the second port
    }
    // Each held button pulls the lines its code names low; lines pulled by several buttons
    // stay low, so two keys together read as the AND of their active-low codes.
    uint8_t pulled = 0;
    for (int i = 0; i < kControlButtons; ++i) {
        if (keys_ & kSlotKeys[i]) {
            pulled |= static_cast<uint8_t>(joystickMode_ ? controls_[i] >> 8 : controls_[i]);
        }
    }
    if (joystickMode_) {
        if (keys_ & kGbaUp) {
            pulled |= kJoystickUp;
        }
        if (keys_ & kGbaRight) {
            pulled |= kJoystickRight;
        }
        if (keys_ & kGbaDown) {
            pulled |= kJoystickDown;
        }
        if (keys_ & kGbaLeft) {
            pulled |= kJoystickLeft;
        }
    }
    return static_cast<uint8_t>(kControllerIdle & ~pulled);
}

uint8_t Machine::PortRead(void* context, uint16_t port) {
    auto& m = *static_cast<Machine*>(context);
    switch (port & kPortGroupMask) {
    case kPortVideo:
        if (port & 1) {
            // Reading the status clears F, which lowers the line.
            const uint8_t value = m.vdp_.ReadStatus();
            m.UpdateNmi();
            return value;
        }
        return m.vdp_.ReadData(); // data transfers leave the line alone
    case kPortControllers:
        return m.ReadController((port & kPortSecondController) ? 1 : 0);
    default:
        return 0xFF;
    }
}

void Machine::PortWrite(void* context, uint16_t port, uint8_t value) {
    auto& m = *static_cast<Machine*>(context);
    switch (port & kPortGroupMask) {
    case kPortKeypadMode:
        m.joystickMode_ = false;
        break;
    case kPortJoystickMode:
        m.joystickMode_ = true;
        break;
    case kPortVideo:
        if (port & 1) {
            m.vdp_.WriteControl(value);
            // Setting the enable bit while F is pending raises the line.
            m.UpdateNmi();
        } else {
            m.vdp_.WriteData(value); // data transfers leave the line alone
        }
        break;
    case kPortControllers:
        m.psg_.Write(value);
        break;
    default:
        break;
    }
}

void Machine::UpdateNmi() {
    // Called after every line and video chip access; the level rarely changes, and on the GBA
    // the CPU's side of it is Thumb code in ROM.
    const bool level = vdp_.InterruptLine();
    if (level == cpu_->State().nmiLine) {
        return;
    }
    if (level) {
        ++nmis_;
    }
    cpu_->SetNmiLine(level);
}

size_t Machine::RunFrame(uint8_t* picture, int16_t* samples, uint32_t sampleRate) {
    if (picture) {
        LineRenderer lines(picture);
        return RunFrame(lines, samples, sampleRate);
    }
    NoRenderer nothing;
    return RunFrame(nothing, samples, sampleRate);
}

size_t Machine::RunFrame(VideoRenderer& renderer, int16_t* samples, uint32_t sampleRate) {
    const bool sound = samples != nullptr && sampleRate != 0;
    if (sound && sampleRate != sampleRate_) {
        // A new rate starts counting from the time reached so far.
        sampleRate_ = sampleRate;
        samplesDone_ = sampleClocks_ * sampleRate / Psg::kClockHz;
    }
    frameRun_ = FrameRun{&renderer, samples, sampleRate, sound, 0, 0, 1};
    RIX_PROFILE_BEGIN(Cpu);
    if (renderer.DrawsLines() || sound || soundClocked_ || collision_ == CollisionMode::kPrecise) {
        overrun_ = cpu_->RunLines(kLinesPerFrame, lineCycles_, overrun_, EndLine, this);
    } else {
        // Nothing the machine does behind these lines reaches the CPU: no line is drawn, the
        // status changes only at line 192, the sound chip is only written. So the lines
        // between those events run as one, each block followed by its lines' work in turn.
        // The CPU stops where it would have stopped at the block's last line, so the frame
        // ends in the same state as one run line by line.
        for (const int lines : kLineBlocks) {
            frameRun_.blockLines = lines;
            overrun_ = cpu_->RunLines(1, lines * lineCycles_, overrun_, EndBlock, this);
        }
    }
    RIX_PROFILE_END(Cpu);
    ++frames_;
    return frameRun_.written;
}

RIX_ALWAYS_INLINE void Machine::ChipAfterLine(int line) {
    if (line == Vdp::kActiveLines - 1) {
        RIX_PROFILE_BEGIN(Video);
        frameRun_.renderer->Frame(vdp_);
        RIX_PROFILE_END(Video);
    }
    RIX_PROFILE_BEGIN(Status);
    vdp_.ScanLine(line);
    RIX_PROFILE_END(Status);
    UpdateNmi();
}

void Machine::EndBlock(void* context) {
    // EndLine's work for each line of the block, where it does anything: the blocks end where
    // the events are, so only a block's last line can be the one behind which the renderer
    // takes the frame or the chip raises F. No line is drawn, the sound chip is not clocked.
    RIX_PROFILE_BEGIN(Other);
    auto& m = *static_cast<Machine*>(context);
    FrameRun& run = m.frameRun_;
    run.line += run.blockLines;
    m.ChipAfterLine(run.line - 1);
    m.sampleClocks_ += uint64_t{kSoundClocksPerLine} * run.blockLines;
    m.sampleRate_ = 0;
    RIX_PROFILE_END(Other);
}

void Machine::EndLine(void* context) {
    // The line's work is the machine's, not the CPU's, though the CPU's run calls it.
    RIX_PROFILE_BEGIN(Other);
    auto& m = *static_cast<Machine*>(context);
    FrameRun& run = m.frameRun_;
    const int line = run.line++;
    // Line is the base class's empty one on the GBA: not worth two marks a line.
    run.renderer->Line(m.vdp_, line);
    m.ChipAfterLine(line);
    m.sampleClocks_ += kSoundClocksPerLine;
    if (run.sound) {
        // The samples due by the end of this line, counted from the start, so that rounding
        // never drifts.
        const uint64_t due = m.sampleClocks_ * run.sampleRate / Psg::kClockHz;
        const size_t count = static_cast<size_t>(due - m.samplesDone_);
        RIX_PROFILE_BEGIN(Sound);
        m.psg_.Generate(run.samples + run.written, count, run.sampleRate);
        RIX_PROFILE_END(Sound);
        m.samplesDone_ = due;
        run.written += count;
    } else {
        if (m.soundClocked_) {
            RIX_PROFILE_BEGIN(Sound);
            m.psg_.Run(kSoundClocksPerLine);
            RIX_PROFILE_END(Sound);
        }
        m.sampleRate_ = 0;
    }
    RIX_PROFILE_END(Other);
}

} // namespace rix::emu
