#include "builder/Build.h"

#include "builder/BuildMessages.h"
#include "builder/CartridgeLayout.h"
#include "format/CartTable.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "settings/Schema.h"

#include <sys/stat.h>

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
        struct stat st {};
        sizes.push_back(::stat(row.realPath.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0);
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
    if (options.outputDirectory) {
        return *options.outputDirectory;
    }
    return ini.ReadEntry(schema::kSettings, schema::kRixBinary, CurrentDirectory());
}

BuildOutcome RunBuild(const TCustomIniFile& ini, const std::vector<RomRow>& rows, BuildHost& host,
                      const BuildOptions& options) {
    const bool pogo = rows.empty();

    // 1. Output directory.
    const std::string directory = OutputDirectory(ini, options);

    // 2. The empty-list warning; the build goes on.
    if (pogo) {
        host.ShowMessage(buildmsg::kEmptyListCaption, buildmsg::kEmptyListText,
                         MessageIcon::None);
    }

    // 3. Create the output directory's last level; a failure shows up when creating the file.
    if (!DirectoryExists(directory)) {
        CreateDirectoryLevel(directory);
    }

    // 4. Ask before replacing.
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

    // 5. Write the emulator image, into a temporary file beside Rix.gba that replaces it only
    //    once the image is complete.
    AtomicFile output =
        AtomicFile::Create(outputPath, JoinPath(directory, buildmsg::kFirstWriteName));
    File& out = output.Stream();
    out.WriteAll(emulator.data(), emulator.size());

    // 6. E is the end of the image; leave room for the table header.
    out.SeekToEnd();
    const std::uint64_t e = out.Position();
    out.Seek(e + format::kHeaderSize);

    // 7. Sections and progress.
    std::vector<std::string> sections;
    ini.ListSections(sections);
    host.ProgressSetup(0, int(sections.size() + 2 * rows.size()), 1);

    // 8. One record per ROM section.
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

    // 9. The table header, now that n is known.
    out.Seek(e);
    const TableHeader header = MakeTableHeader(n);
    out.WriteAll(header.data(), header.size());
    out.SeekToEnd();

    // 10. One ROM entry per row, sizes measured now and kept for the copy.
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

    // 11. The terminator, only behind a ROM table.
    if (!rows.empty()) {
        const RomEntry terminator{};
        out.WriteAll(terminator.data(), terminator.size());
    }

    // 12. The ROM data, exactly the sizes in the table.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        File rom = File::OpenRead(rows[i].realPath, Share::Exclusive);
        CopyRom(rom, sizes[i], out);
        rom.Close();
        host.ProgressStep();
    }

    // 13. Close: the complete image takes the place of Rix.gba. It can always be built again,
    //     so it is not forced to disk first (that would double the build's time).
    output.Commit(false);

    // 14.-15. Success, then the bar goes back to 0.
    host.ShowMessage(buildmsg::kSuccessCaption,
                     pogo ? buildmsg::kSuccessPogoText : buildmsg::kSuccessText,
                     MessageIcon::None);
    host.ProgressSetPosition(0);
    return BuildOutcome::Written;
}

} // namespace rix
