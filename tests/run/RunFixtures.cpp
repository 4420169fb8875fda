#include "RunFixtures.h"

#include "support/ForceCrc32.h"

#include "core/Machine.h"
#include "format/CartTable.h"

namespace rix::test {

std::vector<std::uint8_t> ControllerRom(ControllerMode mode) {
    const std::uint8_t modePort = mode == ControllerMode::kJoystick ? 0xC0 : 0x80;
    // clang-format off
    return {
        0x55, 0xAA,                         // 8000 header: straight to the start address
        0, 0, 0, 0, 0, 0, 0, 0,             // 8002 pointers for the BIOS, unused
        0x0C, 0x80,                         // 800A start: 800C
        0xF3,                               // 800C di
        0x31, 0x00, 0x74,                   // 800D ld sp,7400h
        0x3E, 0x8E, 0xD3, 0xFF,             // 8010 tone 0, period bits 3-0 = E
        0x3E, 0x0F, 0xD3, 0xFF,             // 8014 period bits 9-4 = 0F: 254, 440 Hz
        0x3E, 0x90, 0xD3, 0xFF,             // 8018 channel 0 attenuation 0
        0xAF, 0xD3, 0xBF,                   // 801C VRAM write address 0000h
        0x3E, 0x40, 0xD3, 0xBF,             //
        0x21, 0xC0, 0x03,                   // 8023 ld hl,960: the Text name table
        0xAF, 0xD3, 0xBE,                   // 8026 clear: out (BEh),0
        0x2B, 0x7C, 0xB5,                   // 8029 dec hl; ld a,h; or l
        0x20, 0xF8,                         // 802C jr nz,clear
        0xAF, 0xD3, 0xBF,                   // 802E VRAM write address 0800h: pattern 0
        0x3E, 0x48, 0xD3, 0xBF,             //
        0x3E, 0xFF, 0x06, 0x08,             // 8035 ld a,FFh; ld b,8
        0xD3, 0xBE, 0x10, 0xFC,             // 8039 fill: out (BEh),a; djnz fill
        0x3E, 0x00, 0xD3, 0xBF, 0x3E, 0x80, 0xD3, 0xBF, // 803D R0 = 00h
        0x3E, 0x00, 0xD3, 0xBF, 0x3E, 0x82, 0xD3, 0xBF, // 8045 R2 = 00h: names at 0000h
        0x3E, 0x01, 0xD3, 0xBF, 0x3E, 0x84, 0xD3, 0xBF, // 804D R4 = 01h: patterns at 0800h
        0x3E, 0xD0, 0xD3, 0xBF, 0x3E, 0x81, 0xD3, 0xBF, // 8055 R1 = D0h: on, Text, no NMI
        0xD3, modePort,                     // 805D loop: select the controller mode
        0xDB, 0xFC,                         // 805F in a,(FCh): controller 1
        0xD3, 0xBF, 0x3E, 0x87, 0xD3, 0xBF, // 8061 R7 = the reading
        0x18, 0xF4,                         // 8067 jr loop
    };
    // clang-format on
}

std::vector<std::uint8_t> RedBios() {
    std::vector<std::uint8_t> bios(emu::kBiosSize, 0xFF);
    // clang-format off
    const std::uint8_t code[] = {
        0xF3,                   // di
        0x3E, kRedBiosColour,   // ld a,6
        0xD3, 0xBF,             // out (BFh),a
        0x3E, 0x87, 0xD3, 0xBF, // R7 = 06h
        0x76,                   // halt: with R1 clear no interrupt ever comes
    };
    // clang-format on
    std::copy(std::begin(code), std::end(code), bios.begin());
    ForceCrc32(bios.data(), bios.size(), bios.size() - 4, emu::kOriginalBiosCrc);
    return bios;
}

Cartridge MakeCartridge(const std::vector<std::uint8_t>& image,
                        const std::vector<std::vector<std::uint8_t>>& roms,
                        const std::vector<std::uint32_t>& recordCrcs) {
    namespace fmt = rix::format;
    Cartridge cart;
    const auto header = std::uint32_t(image.size());
    const auto records = std::uint32_t(recordCrcs.size());
    const std::uint32_t romTable = fmt::kHeaderSize + records * fmt::kRecordSize;
    cart.bytes = image;
    cart.bytes.resize(header + romTable + (roms.size() + 1) * fmt::kRomEntrySize);
    std::uint8_t* h = cart.bytes.data() + header;
    fmt::WriteU32(h + fmt::kHeaderRecordsOffset, fmt::kHeaderSize);
    fmt::WriteU32(h + fmt::kHeaderRomTableOffset, romTable);
    for (std::uint32_t r = 0; r < records; ++r) {
        fmt::WriteU32(h + fmt::kHeaderSize + r * fmt::kRecordSize + fmt::kRecordCrc, recordCrcs[r]);
    }
    for (std::size_t i = 0; i < roms.size(); ++i) {
        const auto relative = std::uint32_t(cart.bytes.size() - header);
        std::uint8_t* e = cart.bytes.data() + header + romTable + i * fmt::kRomEntrySize;
        fmt::WriteU32(e + fmt::kRomEntryOffset, relative);
        fmt::WriteU32(e + fmt::kRomEntrySize32, std::uint32_t(roms[i].size()));
        cart.romOffsets.push_back(header + relative);
        cart.bytes.insert(cart.bytes.end(), roms[i].begin(), roms[i].end());
    }
    return cart;
}

} // namespace rix::test
