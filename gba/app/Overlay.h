// The two sets of IWRAM code and data that share one place (gba.ld): the game's while a game
// runs, the menu's otherwise. Each call copies a set in from its load image in ROM.
#pragma once

#include <stdint.h>

#include "Hardware.h"

extern "C" {
extern const uint32_t __load_start_iwram_game[];
extern const uint32_t __load_stop_iwram_game[];
extern const uint32_t __load_start_iwram_menu[];
extern const uint32_t __load_stop_iwram_menu[];
extern uint32_t __iwram_overlay[];
}

namespace rix::gba {

// By DMA, the quickest copy: a game started with a key must still see it held in its first
// frame. (A set is under 64 K words, what one DMA moves.)
inline void LoadIwramSet(const uint32_t* from, const uint32_t* to) {
    hw::Reg<uint32_t>(hw::kDma3sad) = uint32_t(reinterpret_cast<uintptr_t>(from));
    hw::Reg<uint32_t>(hw::kDma3dad) = uint32_t(reinterpret_cast<uintptr_t>(__iwram_overlay));
    hw::Reg<uint32_t>(hw::kDma3cnt) = hw::kDmaEnable32 | uint32_t(to - from);
}

inline void LoadGameCode() {
    LoadIwramSet(__load_start_iwram_game, __load_stop_iwram_game);
}

inline void LoadMenuCode() {
    LoadIwramSet(__load_start_iwram_menu, __load_stop_iwram_menu);
}

} // namespace rix::gba
