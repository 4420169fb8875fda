#include "builder/Build.h"

#include "builder/BuildMessages.h"
#include "builder/CartridgeLayout.h"
#include "format/CartTable.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "settings/Schema.h"

#include <vector>

namespace rix {

namespace {

std::string JoinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    path += kPathSeparator;
    path += name;
    return path;
}

std::string WithThousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

// Stops a build whose image would not fit a cartridge, before anything is written. ROM files
// that cannot be measured are left for the build's own step to report.
void CheckCartridgeSize(const TCustomIniFile& ini, const std::vector<RomRow>& rows,
                        std::size_t imageSize) {
    std::vector<std::uint64_t> sizes;
    sizes.reserve(rows.size());
    for (const RomRow& row : rows) {
        sizes.push_back(FileStamp::Of(row.realPath).size); // 0 when it cannot be looked at
    }
    const std::uint64_t size = CartridgeSize(imageSize, RomSections(ini).size(), sizes);
    if (size > format::kCartridgeSpace) {
        std::string text = FormatText(buildmsg::kTooLarge, WithThousands(size));
        text = FormatText(text, WithThousands(format::kCartridgeSpace));
        throw RixError(ErrorKind::Other, text);
    }
}

// Copies exactly `size` bytes of an open ROM file; a file of another size by now is an error.
void CopyRom(File& rom, std::uint64_t size, File& out) {
    out.CopyFrom(rom, size);
    std::uint8_t extra = 0;
    if (rom.ReadSome(&extra, 1) != 0) {
        throw StreamReadError();
    }
}

} // namespace

std::string OutputDirectory(const TCustomIniFile& ini, const BuildOptions& options) {
    std::string directory =
        options.outputDirectory
            ? *options.outputDirectory
            : ini.ReadEntry(schema::kSettings, schema::kRixBinary, CurrentDirectory());
    // An empty folder is the current one, not the root the separator would make of it.
    return directory.empty() ? CurrentDirectory() : directory;
}

BuildOutcome RunBuild(const TCustomIniFile& ini, const std::vector<RomRow>& rows, BuildHost& host,
                      const BuildOptions& options) {
    const bool pogo = rows.empty();

    const std::string directory = OutputDirectory(ini, options);

    // An empty list only warns: the image then serves as a shell without games.
    if (pogo) {
        host.ShowMessage(buildmsg::kEmptyListCaption, buildmsg::kEmptyListText, MessageIcon::None);
    }

    // Only the last level is created; a failure shows up when the file is created.
    if (!DirectoryExists(directory)) {
        CreateDirectoryLevel(directory);
    }

    const std::string outputPath = JoinPath(directory, buildmsg::kOutputName);
    if (FileExists(outputPath) &&
        !host.AskYesNo(buildmsg::kReplaceCaption,
                       pogo ? buildmsg::kReplacePogoText : buildmsg::kReplaceText,
                       MessageIcon::Exclamation)) {
        return BuildOutcome::Declined;
    }

    // The emulator image is found, and the size checked, before the output is touched.
    const std::span<const std::uint8_t> emulator = options.emulatorImage();
    CheckCartridgeSize(ini, rows, emulator.size());

    // Written into a temporary file beside Rix.gba that replaces it only once the image is
    // complete.
    AtomicFile output =
        AtomicFile::Create(outputPath, JoinPath(directory, buildmsg::kFirstWriteName));
    File& out = output.Stream();
    out.WriteAll(emulator.data(), emulator.size());

    // The table starts at the end of the image (e); its header is written once the number of
    // records is known.
    out.SeekToEnd();
    const std::uint64_t e = out.Position();
    out.Seek(e + format::kHeaderSize);

    // The bar counts every section (even those that are no ROM's) and each row twice.
    std::vector<std::string> sections;
    ini.ListSections(sections);
    host.ProgressSetup(0, int(sections.size() + 2 * rows.size()), 1);

    std::uint32_t n = 0;
    for (const std::string& section : sections) {
        if (!IsRomSection(ini, section)) {
            continue;
        }
        const ConfigurationRecord record = MakeConfigurationRecord(ini, section);
        out.WriteAll(record.data(), record.size());
        ++n;
        host.ProgressStep();
    }

    out.Seek(e);
    const TableHeader header = MakeTableHeader(n);
    out.WriteAll(header.data(), header.size());
    out.SeekToEnd();

    // One ROM entry per row; the sizes measured now are the ones copied below.
    std::vector<std::uint64_t> sizes;
    sizes.reserve(rows.size());
    std::uint64_t offset = FirstRomOffset(n, rows.size());
    for (const RomRow& row : rows) {
        File rom = File::OpenRead(row.realPath, Share::DenyNone);
        const std::uint64_t size = rom.Size();
        rom.Close();
        const RomEntry entry = MakeRomEntry(std::uint32_t(offset), std::uint32_t(size));
        out.WriteAll(entry.data(), entry.size());
        sizes.push_back(size);
        offset += size;
        host.ProgressStep();
    }

    // A terminator only behind a ROM table: the shell image has neither.
    if (!rows.empty()) {
        const RomEntry terminator{};
        out.WriteAll(terminator.data(), terminator.size());
    }

    for (std::size_t i = 0; i < rows.size(); ++i) {
        File rom = File::OpenRead(rows[i].realPath, Share::Exclusive);
        CopyRom(rom, sizes[i], out);
        rom.Close();
        host.ProgressStep();
    }

    // The complete image takes the place of Rix.gba. It can always be built again, so it is not
    // forced to disk first (that would double the build's time).
    output.Commit(false);

    host.ShowMessage(buildmsg::kSuccessCaption,
                     pogo ? buildmsg::kSuccessPogoText : buildmsg::kSuccessText, MessageIcon::None);
    host.ProgressSetPosition(0);
    return BuildOutcome::Written;
}

} // namespace rix
