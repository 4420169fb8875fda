#include "cli/GameFile.h"

#include "app/Catalog.h"
#include "app/Record.h"
#include "app/Table.h"
#include "builder/Resources.h"
#include "format/CartTable.h"
#include "format/Crc32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rix::run {

namespace fmt = rix::format;

namespace {

// Neither kind of file is larger than the cartridge space; a larger one is not read at all.
constexpr std::uint64_t kLargestFile = fmt::kCartridgeSpace;

// Returns the file's size and, unless it is larger than `largest`, reads it into `into`.
std::uint64_t ReadWhole(const std::string& path, std::vector<std::uint8_t>& into,
                        std::uint64_t largest) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw RunError("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw RunError("cannot read " + path + ": " + std::strerror(error));
    }
    if (std::uint64_t(st.st_size) > largest) {
        ::close(fd);
        return std::uint64_t(st.st_size);
    }
    const auto size = std::size_t(st.st_size);
    into.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, into.data() + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO; // shorter than it was a moment ago
            ::close(fd);
            throw RunError("cannot read " + path + ": " + std::strerror(error));
        }
        done += std::size_t(n);
    }
    ::close(fd);
    return size;
}

std::string Games(std::uint32_t count) {
    return count == 1 ? "1 game" : std::to_string(count) + " games";
}

// The cartridge's game `number`, configured from its record as the GBA program configures it.
void PickFromCartridge(const std::string& path, GameFile& out, std::uint32_t fileSize,
                       const gba::TableInfo& table, std::uint32_t number) {
    const std::uint8_t* cart = out.bytes.data();
    gba::Catalog catalog;
    catalog.Reset(cart, table);
    while (catalog.RemainingGames() != 0) {
        catalog.Work(catalog.Count(), fmt::kCartridgeSpace);
    }
    out.cartridge = true;
    out.games = catalog.Count();
    if (number == 0 || number > out.games) {
        throw RunError(path + ": there is no game " + std::to_string(number) +
                       ", the cartridge holds " +
                       (out.games == 0 ? std::string("no games") : Games(out.games)));
    }
    const std::uint32_t game = number - 1;
    const gba::RomEntry rom = catalog.Rom(game);
    if (rom.offset > fileSize || rom.size > fileSize - rom.offset) {
        throw RunError(path + ": game " + std::to_string(number) +
                       " runs past the end of the file");
    }
    out.game = number;
    out.crc = catalog.Crc(game);
    out.config.rom = cart + rom.offset;
    out.config.romSize = rom.size;
    if (catalog.HasBios()) {
        out.config.bios = cart + catalog.Bios().offset;
        out.cartridgeBios = true;
    }

    const std::int32_t record = catalog.Record(game);
    if (record == gba::kNoRecord) {
        return;
    }
    out.hasRecord = true;
    const std::uint8_t* r = cart + gba::RecordOffset(table, std::uint32_t(record));
    const char* name = reinterpret_cast<const char*>(r + fmt::kRecordName);
    std::size_t length = fmt::kRecordNameLength;
    while (length != 0 && (name[length - 1] == ' ' || name[length - 1] == 0)) {
        --length;
    }
    out.name.assign(name, length);
    gba::ApplyRecord(r, out.config);
}

} // namespace

bool IsPlausibleRom(const std::uint8_t* rom, std::size_t size) {
    if (size == 0 || size > emu::kMegaCartMax) {
        return false;
    }
    const emu::CartridgeLayout layout = emu::DescribeCartridge(std::uint32_t(size));
    const std::size_t header =
        layout.kind == emu::CartridgeKind::kMegaCart ? size - emu::kMegaCartBank : 0;
    if (size - header < 2) {
        return false;
    }
    const std::uint8_t a = rom[header];
    const std::uint8_t b = rom[header + 1];
    return (a == 0x55 && b == 0xAA) || (a == 0xAA && b == 0x55);
}

GameFile LoadGame(const std::string& path, std::uint32_t game) {
    GameFile out;
    const std::uint64_t fileSize = ReadWhole(path, out.bytes, kLargestFile);
    const std::string notGame = path + ": not a ColecoVision ROM or a Rix cartridge";
    if (fileSize > kLargestFile) {
        throw RunError(notGame);
    }
    const auto size = std::size_t(fileSize);

    // A cartridge: the image rix-build writes, then a table the GBA program accepts.
    const std::span<const std::uint8_t> image = EmulatorImage();
    if (!image.empty() && size >= image.size() &&
        std::equal(image.begin(), image.end(), out.bytes.begin())) {
        // The GBA program sees the whole cartridge space; what the file leaves reads as zeros,
        // as emulators show past the end.
        out.bytes.resize(fmt::kCartridgeSpace, 0);
        const gba::TableInfo table = gba::ReadTable(out.bytes.data(), std::uint32_t(image.size()));
        if (table.kind != gba::TableKind::kBroken) {
            PickFromCartridge(path, out, std::uint32_t(size), table, game);
            return out;
        }
        out.bytes.resize(size); // back to the file's own bytes
    }

    if (!IsPlausibleRom(out.bytes.data(), size)) {
        throw RunError(notGame);
    }
    if (game != 1) {
        throw RunError(path + ": there is no game " + std::to_string(game) +
                       ", a ROM file holds 1 game");
    }
    out.crc = fmt::Crc32Finish(
        fmt::Crc32Update(fmt::kCrc32Preset, out.bytes.data(), std::uint32_t(size)));
    out.config.rom = out.bytes.data();
    out.config.romSize = std::uint32_t(size);
    return out;
}

std::vector<std::uint8_t> LoadBios(const std::string& path) {
    std::vector<std::uint8_t> bios;
    const std::uint64_t size = ReadWhole(path, bios, emu::kBiosSize);
    if (size != emu::kBiosSize) {
        throw RunError(path + ": a BIOS is " + std::to_string(emu::kBiosSize) +
                       " bytes, this file has " + std::to_string(size));
    }
    return bios;
}

} // namespace rix::run
