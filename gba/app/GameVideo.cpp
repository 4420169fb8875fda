#include "GameVideo.h"

#include "Hardware.h"

namespace rix::gba {

void GameVideo::Start(View view) {
    view_ = view;
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntMode0; // backdrop only, for now
}

void GameVideo::Stop() {
    hw::Reg<std::uint16_t>(hw::kDispcnt) = hw::kDispcntForcedBlank;
}

void GameVideo::SetView(View view) {
    view_ = view;
}

void GameVideo::Frame(const rix::emu::Vdp& vdp) {
    hw::Reg<std::uint16_t>(hw::kPaletteBg) = rix::emu::kVdpPaletteBgr555[vdp.Backdrop()];
}

void GameVideo::VBlank() {}

} // namespace rix::gba
