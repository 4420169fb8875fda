// Start-up and the frame loop: find the table behind the image, show the menu, and spend the
// rest of each frame on the CRCs of the games.
#include <cstdint>

#include "Catalog.h"
#include "Game.h"
#include "Hardware.h"
#include "Keys.h"
#include "Menu.h"
#include "Overlay.h"
#include "Platform.h"
#include "Table.h"
#include "TestPort.h"
#include "TextScreen.h"
#include "Video.h"

extern "C" {
// First byte behind the image (linker script): where the builder puts the table.
extern const std::uint8_t __rix_image_end[];
// Counted by the interrupt handler (crt0.s).
volatile std::uint32_t gVblankCount;
int main();
}

namespace rix::gba {
namespace {

// CRC work stops this many lines before the vertical blank, so that a slice started late
// still ends before the next frame is due.
constexpr unsigned kWorkEndLine = 144;
constexpr unsigned kVisibleLines = 160;
// About ten lines of work: small enough to stop in time, large enough to keep the loop cheap.
constexpr std::uint32_t kSliceBytes = 1024;

RIX_EWRAM_BSS Video gVideo;
RIX_EWRAM_BSS TextScreen gScreen;
Catalog gCatalog;
Menu gMenu;
KeyRepeat gKeys;

void WaitForVblank(std::uint32_t seen) {
    while (gVblankCount == seen) {
        asm volatile("swi 0x05" ::: "r0", "r1", "r2", "r3", "memory"); // VBlankIntrWait
    }
}

bool TimeLeft(std::uint32_t frame) {
    const unsigned line = hw::Reg<std::uint16_t>(hw::kVcount);
    return gVblankCount == frame && (line < kWorkEndLine || line >= kVisibleLines);
}

void Run() {
    LoadMenuCode();
    hw::Reg<std::uint16_t>(hw::kWaitcnt) = hw::kWaitcntFastRom;
    TestPort& port = Port();
    port = TestPort{};
    port.marker = kTestPortMarker;
    gVideo.Init();

    const auto* cart = reinterpret_cast<const std::uint8_t*>(hw::kRom);
    const auto header = std::uint32_t(reinterpret_cast<std::uintptr_t>(__rix_image_end) - hw::kRom);
    const TableInfo table = ReadTable(cart, header);
    gCatalog.Reset(cart, table);
    gMenu.Start(cart, table, gCatalog);

    hw::Reg<std::uint16_t>(hw::kDispstat) = hw::kDispstatVblankIrq;
    hw::Reg<std::uint16_t>(hw::kIe) = hw::kIrqVblank;
    hw::Reg<std::uint16_t>(hw::kIme) = 1;

    std::uint32_t frame = gVblankCount;
    for (;;) {
        WaitForVblank(frame);
        frame = gVblankCount;
        gVideo.Flip();
        const auto held = std::uint16_t(~hw::Reg<std::uint16_t>(hw::kKeyinput) & hw::kKeyMask);
        gMenu.Press(gKeys.Update(held));
        GameStart start;
        if (gMenu.TakeStart(start)) {
            PlayGame(start);
            // Back in the menu: its screen is drawn anew, and keys still held from the game
            // do not act.
            gVideo.Init();
            gKeys = KeyRepeat();
            gKeys.Update(std::uint16_t(~hw::Reg<std::uint16_t>(hw::kKeyinput) & hw::kKeyMask));
            frame = gVblankCount;
            continue;
        }
        gMenu.Draw(gScreen);
        gVideo.Draw(gScreen);
        while (gCatalog.RemainingGames() != 0 && TimeLeft(frame)) {
            gCatalog.Work(gMenu.WantedGame(), kSliceBytes);
        }
    }
}

} // namespace
} // namespace rix::gba

int main() {
    rix::gba::Run();
    return 0;
}
