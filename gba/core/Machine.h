// The ColecoVision: the Z80, the video chip and the sound chip wired as the console wires them,
// with its memory map (BIOS, 1 KiB of RAM, the cartridge and MegaCart banks), its ports, its two
// controllers and its frame timing. Every front end (the GBA layer, rix-run, the benchmarks)
// drives this one machine: load a game, set the buttons held, run a frame, read the picture and
// the sound.
//
// Portable like the chips: no heap, no exceptions, only the C library's headers. The object is
// about 19 KiB (most of it the video chip's memory); the front end decides where it lives.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "core/GbaKeys.h"
#include "core/Psg.h"
#include "core/Renderer.h"
#include "core/Vdp.h"
#include "core/Z80.h"
#include "format/Controls.h"

namespace rix::emu {

// --- Facts about a game that front ends show before they run it ---

inline constexpr uint32_t kBiosSize = 0x2000;
// The CRC-32 of the console's own BIOS: a ROM with it (and kBiosSize bytes) on a cartridge is
// that cartridge's BIOS, not a game.
inline constexpr uint32_t kOriginalBiosCrc = 0x3AA93EF3u;
constexpr bool IsOriginalBios(uint32_t crc, uint32_t size) {
    return crc == kOriginalBiosCrc && size == kBiosSize;
}

// How a ROM of a given size is mapped at 0x8000-0xFFFF.
enum class CartridgeKind : uint8_t {
    kPlain,    // 32 KiB or less, from 0x8000; what lies past its end reads 0xFF
    kMegaCart, // 64 KiB to 1 MiB, a power of two: 16 KiB banks, the last fixed at 0x8000
    kPartial,  // any other size: its first 32 KiB mapped as a plain cartridge, the rest unused
};
inline constexpr uint32_t kCartridgeWindow = 0x8000; // 0x8000-0xFFFF
inline constexpr uint32_t kMegaCartBank = 0x4000;
inline constexpr uint32_t kMegaCartMax = 0x100000;

struct CartridgeLayout {
    CartridgeKind kind;
    uint32_t banks;       // MegaCart banks (16 KiB each); 0 otherwise
    uint32_t mappedBytes; // bytes of the ROM the console can reach
};
CartridgeLayout DescribeCartridge(uint32_t romSize);

// Z80 cycles per scan line. A record's 0 means the real machine's 228; values outside
// kMinLineCycles..kMaxLineCycles would stall or starve the game and are also run as 228.
inline constexpr int32_t kRealLineCycles = 228;
inline constexpr int32_t kMinLineCycles = 100;
inline constexpr int32_t kMaxLineCycles = 1000;
struct LineCycles {
    int32_t cycles;
    bool replaced; // the record asked for a value outside the range; 228 is used instead
};
LineCycles EffectiveLineCycles(int32_t recordValue);

// The record's collision byte (the position of the mode in the prepared list).
enum class CollisionMode : uint8_t {
    kNormal = 0,  // sprite status (5S, number, C) worked out once a frame, at line 192
    kPrecise = 1, // the chip's own: every line as it is run
    kOff = 2,     // as kNormal, but the coincidence flag is never set
};
// Values other than 1 and 2 are kNormal (0 is what the builder writes for the first mode).
CollisionMode CollisionModeFromRecord(uint8_t value);

// --- Controls ---

inline constexpr int kControlButtons = 6;
// The GBA button behind each of a record's six control slots: A, B, Select, Start, L, R.
inline constexpr uint16_t kSlotKeys[kControlButtons] = {kGbaA,     kGbaB, kGbaSelect,
                                                        kGbaStart, kGbaL, kGbaR};
// A record's control code: the low byte is what the button puts on controller 1's lines in
// keypad mode (bits 0-3 a key's code, 0x40 the right button), the high byte what it puts on
// them in joystick mode (0x40 the left button); a set bit is a line pulled low.
// The prepared "Kempston" controls: A Fire 1, B Fire 2, Select *, Start #, L 1, R 2.
inline constexpr uint16_t kDefaultControls[kControlButtons] = {
    format::kControlFire1,   format::kControlFire2,   format::KeypadCode('*'),
    format::KeypadCode('#'), format::KeypadCode('1'), format::KeypadCode('2')};

// What controller 1 reads with no button held, in either mode: bits 0-3 and 6 high (released),
// bits 4-5 high (no spinner pulses), bit 7 low.
inline constexpr uint8_t kControllerIdle = 0x7F;

// --- The machine ---

struct MachineConfig {
    const uint8_t* rom = nullptr; // the cartridge; must outlive the machine's use of it
    uint32_t romSize = 0;
    const uint8_t* bios = nullptr; // kBiosSize bytes of the console's BIOS; null: our own
    uint16_t controls[kControlButtons] = {kDefaultControls[0], kDefaultControls[1],
                                          kDefaultControls[2], kDefaultControls[3],
                                          kDefaultControls[4], kDefaultControls[5]};
    int32_t cycleCount = 0; // the record's value; see EffectiveLineCycles
    uint8_t collision = 0;  // the record's value; see CollisionModeFromRecord
};

class Machine {
public:
    static constexpr int kLinesPerFrame = Vdp::kLinesPerFrame;
    static constexpr uint32_t kRamSize = 0x400;
    static constexpr uint16_t kRamAddress = 0x6000;
    // The sound chip advances by the real machine's frame whatever the cycle count: a game
    // given more cycles a line runs faster, its music does not.
    static constexpr uint32_t kSoundClocksPerLine = kRealLineCycles;
    // The blocks of lines RunFrame runs the CPU in when no line's work can reach it: the
    // active display (the renderer's Frame behind it), line 192 (the vertical interrupt behind
    // it), the rest.
    static constexpr int kLineBlocks[] = {Vdp::kActiveLines, 1,
                                          kLinesPerFrame - Vdp::kActiveLines - 1};
    // The most samples RunFrame writes at `rate` Hz.
    static constexpr size_t MaxSamplesPerFrame(uint32_t rate) {
        return static_cast<size_t>(uint64_t{rate} * kRealLineCycles * kLinesPerFrame /
                                   Psg::kClockHz) +
               1;
    }

    Machine() = default;
    // With the CPU and the RAM kept elsewhere: the two the running program touches on every
    // instruction, which a front end may want in faster memory than the rest (on the GBA, the
    // video memory keeps the machine out of IWRAM). Both must outlive the machine.
    Machine(Z80& cpu, uint8_t (&ram)[kRamSize]) : cpu_(&cpu), ram_(ram) {}
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Inserts the cartridge and switches on: maps the BIOS, RAM and cartridge, applies the
    // configuration and resets. The buffers must stay valid until the next Load.
    void Load(const MachineConfig& config);
    // The reset button: CPU, chips, RAM (cleared), MegaCart bank, controllers and frame count.
    void Reset();

    // The GBA buttons held now (GbaKey bits); controller 1 reads them through the codes.
    void SetKeys(uint16_t held) { keys_ = held; }

    // Whether RunFrame clocks the sound chip when it is not asked for samples (the default).
    // A front end that plays the chip's registers through other sound hardware needs no
    // counters and saves their cost (on the GBA, about as much as the CPU's).
    void SetSoundClocked(bool clocked) { soundClocked_ = clocked; }

    // Runs one frame: kLinesPerFrame lines of LineCycles() Z80 cycles, each followed by the
    // video chip's line (the renderer's Line for every line, its Frame after line 191, then
    // the chip's status and timing) and kSoundClocksPerLine sound-chip clocks. When no line's
    // work can reach the CPU before the next event (a renderer of whole frames, the status
    // worked out once a frame, the sound chip not clocked), the CPU runs the lines up to each
    // event in one go and their work follows: the same frame, for a fraction of the cost of
    // stopping the CPU on every line. With `samples`
    // non-null the sound chip's output is written there at `sampleRate` Hz (at most
    // MaxSamplesPerFrame) and the count is returned; otherwise the chip is only clocked (see
    // SetSoundClocked) and 0 is returned.
    size_t RunFrame(VideoRenderer& renderer, int16_t* samples = nullptr, uint32_t sampleRate = 0);
    // The same with the host's line renderer into `picture` (256 x 192 palette indices), or
    // with nothing drawn when `picture` is null.
    size_t RunFrame(uint8_t* picture, int16_t* samples = nullptr, uint32_t sampleRate = 0);

    // --- State, for front ends and tests; nothing here changes the machine ---
    const Z80& Cpu() const { return *cpu_; }
    Z80& Cpu() { return *cpu_; } // for benchmarks and tests that set up the CPU by hand
    const Vdp& Video() const { return vdp_; }
    Vdp& Video() { return vdp_; } // a tile layer clears the dirty map
    const Psg& Sound() const { return psg_; }
    const uint8_t* Ram() const { return ram_; }
    uint32_t Frames() const { return frames_; }
    uint32_t NmiCount() const { return nmis_; } // NMIs the video chip raised since Reset
    uint32_t Bank() const { return bank_; }     // MegaCart bank at 0xC000 (0 otherwise)
    CartridgeLayout Layout() const { return layout_; }
    int32_t LineCycles() const { return lineCycles_; }
    CollisionMode Collision() const { return collision_; }
    bool OwnBios() const { return ownBios_; }
    // What controller 1 or 2 (index 0 or 1) reads now, in the mode last selected.
    uint8_t ReadController(int index) const;

private:
    RIX_IWRAM_CODE static uint8_t PortRead(void* context, uint16_t port);
    RIX_IWRAM_CODE static void PortWrite(void* context, uint16_t port, uint8_t value);
    static uint8_t MemoryRead(void* context, uint16_t address);
    void MapCartridge();
    void SelectBank(uint32_t bank);
    RIX_IWRAM_CODE void UpdateNmi();
    // What the machine does behind each line of RunFrame (the Z80's line hook).
    RIX_IWRAM_CODE static void EndLine(void* context);
    // The same behind a block of lines run as one (kLineBlocks).
    static void EndBlock(void* context);
    // Behind line `line`: the renderer's Frame after the last active line, then the chip's
    // status and timing for the line, then the NMI input.
    void ChipAfterLine(int line);

    // The frame RunFrame is running, for EndLine.
    struct FrameRun {
        VideoRenderer* renderer = nullptr;
        int16_t* samples = nullptr;
        uint32_t sampleRate = 0;
        bool sound = false;
        int line = 0;
        size_t written = 0;
        int blockLines = 1; // lines the CPU ran since EndBlock was last called
    };
    FrameRun frameRun_;

    Z80 ownCpu_; // unused when the CPU is kept elsewhere
    Z80* cpu_ = &ownCpu_;
    Vdp vdp_;
    Psg psg_;
    uint8_t ownRam_[kRamSize] = {};
    uint8_t* ram_ = ownRam_;
    uint8_t tailPage_[kZ80PageSize] = {}; // the ROM's last, partly filled page, padded with 0xFF
    const uint8_t* rom_ = nullptr;
    uint32_t romSize_ = 0;
    const uint8_t* bios_ = nullptr;
    uint16_t controls_[kControlButtons] = {};
    CartridgeLayout layout_{CartridgeKind::kPlain, 0, 0};
    int32_t lineCycles_ = kRealLineCycles;
    CollisionMode collision_ = CollisionMode::kNormal;
    bool ownBios_ = true;
    bool soundClocked_ = true;
    bool joystickMode_ = false;
    uint16_t keys_ = 0;
    uint32_t bank_ = 0;
    uint32_t frames_ = 0;
    uint32_t nmis_ = 0;
    int overrun_ = 0;
    uint64_t sampleClocks_ = 0; // sound-chip clocks since Reset, for the sample count
    uint64_t samplesDone_ = 0;
    uint32_t sampleRate_ = 0; // the rate samplesDone_ counts in; 0 after a silent frame
};

} // namespace rix::emu
