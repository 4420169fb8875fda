#include "Menu.h"

#include "Controls.h"
#include "Hardware.h"
#include "Record.h"
#include "core/Machine.h"
#include "format/CartTable.h"

namespace rix::gba {

namespace fmt = rix::format;

namespace {

constexpr int kNameColumn = 7;
constexpr int kNameWidth = kColumns - 1 - kNameColumn; // column 39 stays empty
constexpr int kValueColumn = 12;
constexpr int kWrapWidth = kColumns - 2;
constexpr const char* kReading = "(reading...)";
constexpr const char* kTitle = "Rix - ColecoVision games";
constexpr const char* kTitleWithBios = "Rix - games - BIOS found";
constexpr const char* kCollisionNames[] = {"Normal", "Precise", "Off"};

void TitleBar(TextScreen& screen, const char* text, std::uint8_t paper = kPaperTitle) {
    Line(screen, 0).Paper(paper).Text(text);
}

void HelpBar(TextScreen& screen, const char* text) {
    Line(screen, kRows - 1, 1, kInkDim).Text(text);
}

// Writes `text` wrapped over rows first.. first+maxLines-1.
void Wrapped(TextScreen& screen, int first, int maxLines, const std::uint8_t* text, int length,
             std::uint8_t ink) {
    int starts[3];
    int lengths[3];
    const int lines = WrapText(text, length, kWrapWidth, maxLines, starts, lengths);
    for (int i = 0; i < lines; ++i) {
        Line(screen, first + i, 1, ink).Bytes(text + starts[i], lengths[i]);
    }
}

} // namespace

void Menu::Start(const std::uint8_t* cart, const TableInfo& table, const Catalog& catalog) {
    cart_ = cart;
    table_ = table;
    catalog_ = &catalog;
    selected_ = 0;
    top_ = 0;
    switch (table.kind) {
    case TableKind::kGames:
        view_ = View::kList;
        break;
    case TableKind::kNoRomTable:
        view_ = View::kEmpty;
        break;
    case TableKind::kBroken:
        view_ = View::kBroken;
        break;
    }
}

void Menu::Move(std::int32_t delta) {
    const std::int32_t last = std::int32_t(catalog_->Count()) - 1;
    std::int32_t target = std::int32_t(selected_) + delta;
    target = target < 0 ? 0 : (target > last ? last : target);
    // A page step moves the window with the selection, so the rows keep their places.
    if (delta == kListRows || delta == -kListRows) {
        std::int32_t top = std::int32_t(top_) + delta;
        const std::int32_t maxTop = last + 1 - kListRows > 0 ? last + 1 - kListRows : 0;
        top_ = std::uint32_t(top < 0 ? 0 : (top > maxTop ? maxTop : top));
    }
    selected_ = std::uint32_t(target);
    if (selected_ < top_) {
        top_ = selected_;
    } else if (selected_ >= top_ + kListRows) {
        top_ = selected_ + 1 - kListRows;
    }
}

void Menu::Press(std::uint16_t keys) {
    if (view_ != View::kList && view_ != View::kGame) {
        return;
    }
    // A ROM found to be the BIOS leaves the list: keep the selection on a row that exists.
    const std::uint32_t count = catalog_->Count();
    if (count == 0) {
        view_ = View::kList;
        selected_ = 0;
        top_ = 0;
        return;
    }
    if (selected_ >= count) {
        selected_ = count - 1;
    }
    if (top_ > selected_) {
        top_ = selected_;
    }
    if (view_ == View::kList) {
        if ((keys & hw::kKeyStart) != 0) {
            RequestStart(selected_);
        } else if ((keys & hw::kKeyA) != 0) {
            view_ = View::kGame;
        } else if ((keys & hw::kKeyDown) != 0) {
            Move(1);
        } else if ((keys & hw::kKeyUp) != 0) {
            Move(-1);
        } else if ((keys & (hw::kKeyRight | hw::kKeyR)) != 0) {
            Move(kListRows);
        } else if ((keys & (hw::kKeyLeft | hw::kKeyL)) != 0) {
            Move(-kListRows);
        }
    } else if (view_ == View::kGame) {
        if ((keys & hw::kKeyB) != 0) {
            view_ = View::kList;
        } else if ((keys & (hw::kKeyA | hw::kKeyStart)) != 0) {
            RequestStart(selected_);
        }
    }
}

const char* Menu::StartBlocker(std::uint32_t game) const {
    if (game >= catalog_->Count()) {
        return "There is no such game.";
    }
    if (catalog_->Rom(game).size == 0) {
        return "Its ROM entry is empty: nothing to run.";
    }
    if (!catalog_->Known(game) || !catalog_->BiosSettled()) {
        return kReading;
    }
    if (catalog_->Record(game) == kNoRecord) {
        return "No record, so it cannot be started.";
    }
    return nullptr;
}

void Menu::RequestStart(std::uint32_t game) {
    if (StartBlocker(game) != nullptr) {
        view_ = View::kGame; // its page says why
        return;
    }
    startRequested_ = true;
}

bool Menu::TakeStart(GameStart& start) {
    if (!startRequested_) {
        return false;
    }
    startRequested_ = false;
    if (StartBlocker(selected_) != nullptr) {
        return false;
    }
    const RomEntry rom = catalog_->Rom(selected_);
    start.number = selected_ + 1;
    start.rom = cart_ + rom.offset;
    start.romSize = rom.size;
    start.bios = catalog_->HasBios() ? cart_ + catalog_->Bios().offset : nullptr;
    start.record = cart_ + RecordOffset(table_, std::uint32_t(catalog_->Record(selected_)));
    view_ = View::kList;
    return true;
}

std::uint32_t Menu::WantedGame() const {
    if (view_ == View::kGame) {
        return selected_;
    }
    if (view_ == View::kList) {
        for (std::uint32_t g = top_; g < top_ + kListRows && g < catalog_->Count(); ++g) {
            if (!catalog_->Known(g)) {
                return g;
            }
        }
    }
    return catalog_->Count();
}

int Menu::GameName(std::uint32_t game, std::uint8_t* name) const {
    if (!catalog_->Known(game)) {
        return 0;
    }
    const std::int32_t record = catalog_->Record(game);
    int length = 0;
    if (record != kNoRecord) {
        const std::uint8_t* field =
            cart_ + RecordOffset(table_, std::uint32_t(record)) + fmt::kRecordName;
        for (std::uint32_t i = 0; i < fmt::kRecordNameLength; ++i) {
            name[i] = field[i];
            if (field[i] != ' ' && field[i] != 0) {
                length = int(i) + 1;
            }
        }
    }
    if (length == 0) {
        const std::uint32_t crc = catalog_->Crc(game);
        for (int i = 0; i < 8; ++i) {
            name[i] = std::uint8_t("0123456789ABCDEF"[(crc >> (28 - 4 * i)) & 0xFu]);
        }
        length = 8;
    }
    return length;
}

void Menu::Draw(TextScreen& screen) const {
    screen.Clear();
    switch (view_) {
    case View::kList:
        DrawList(screen);
        break;
    case View::kGame:
        DrawGame(screen);
        break;
    case View::kEmpty:
        DrawEmpty(screen);
        break;
    case View::kBroken:
        DrawBroken(screen);
        break;
    }
}

void Menu::DrawList(TextScreen& screen) const {
    const std::uint32_t count = catalog_->Count();
    TitleBar(screen, catalog_->HasBios() ? kTitleWithBios : kTitle);
    if (count == 0) {
        // Every ROM on it was the console's BIOS.
        Line(screen, 2).Text("No games on this cartridge: its only");
        Line(screen, 3).Text("ROM is the console's BIOS.");
        Line(screen, 5, 1, kInkDim).Text("Add games in Rix and build it again.");
        return;
    }
    const int width = DecDigits(selected_ + 1) + 3 + DecDigits(count);
    Line(screen, 0).At(kColumns - 1 - width).Dec(selected_ + 1).Text(" / ").Dec(count);
    std::uint8_t name[fmt::kRecordNameLength];
    for (int i = 0; i < kListRows; ++i) {
        const std::uint32_t game = top_ + std::uint32_t(i);
        if (game >= count) {
            break;
        }
        const int row = kListFirstRow + i;
        Line line(screen, row, 0);
        if (game == selected_) {
            line.Paper(kPaperSelected).Char('>');
        } else {
            line.Char(' ');
        }
        line.DecRight(game + 1, 5).Char(' ');
        const int length = GameName(game, name);
        if (length == 0) {
            line.Ink(kInkDim).Text(kReading);
        } else if (length <= kNameWidth) {
            line.Bytes(name, length);
        } else {
            line.Bytes(name, kNameWidth - 3).Text("...");
        }
    }

    const int length = GameName(selected_, name);
    if (length == 0) {
        Line(screen, 17, 1, kInkDim).Text(kReading);
    } else {
        Wrapped(screen, 17, 2, name, length, kInkAccent);
    }
    HelpBar(screen, "Up/Down L/R: move  A: open  Start: play");
}

void Menu::DrawGame(TextScreen& screen) const {
    const std::uint32_t game = selected_;
    Line(screen, 0)
        .Paper(kPaperTitle)
        .Text("Game ")
        .Dec(game + 1)
        .Text(" of ")
        .Dec(catalog_->Count());
    const char* blocker = StartBlocker(game);
    if (blocker == nullptr) {
        HelpBar(screen, "A/Start: play  B: back to the list");
        Line(screen, 18, 1, kInkAccent).Text("To leave a game hold L+R+Select+Start");
    } else {
        HelpBar(screen, "B: back to the list");
        Line(screen, 18, 1, blocker == kReading ? kInkDim : kInkAccent).Text(blocker);
    }

    const RomEntry rom = catalog_->Rom(game);
    std::uint8_t name[fmt::kRecordNameLength];
    const int length = GameName(game, name);
    if (length == 0) {
        Line(screen, 2, 1, kInkDim).Text(kReading);
    } else {
        Wrapped(screen, 2, 2, name, length, kInkAccent);
    }

    Line size(screen, 5);
    size.Text("Size").At(kValueColumn).Dec(rom.size).Text(" bytes");
    switch (rix::emu::DescribeCartridge(rom.size).kind) {
    case rix::emu::CartridgeKind::kPlain:
        break;
    case rix::emu::CartridgeKind::kMegaCart:
        size.Text(", MegaCart");
        break;
    case rix::emu::CartridgeKind::kPartial:
        size.Text(": 32 KiB used");
        break;
    }
    Line key(screen, 6);
    key.Text("ROM key").At(kValueColumn);
    if (!catalog_->Known(game)) {
        key.Ink(kInkDim).Text(kReading);
    } else {
        key.Hex(catalog_->Crc(game), 8);
    }
    Line header(screen, 7);
    header.Text("Header").At(kValueColumn);
    const std::uint8_t* bytes = cart_ + rom.offset;
    if (rom.size >= 2 && bytes[0] == 0xAA && bytes[1] == 0x55) {
        header.Text("AA 55: title screen");
    } else if (rom.size >= 2 && bytes[0] == 0x55 && bytes[1] == 0xAA) {
        header.Text("55 AA: direct start");
    } else {
        header.Text("not a ColecoVision cartridge");
    }
    Line bios(screen, 8);
    bios.Text("BIOS").At(kValueColumn);
    if (catalog_->HasBios()) {
        bios.Text("the console's");
    } else if (catalog_->BiosSettled()) {
        bios.Text("Rix's own");
    } else {
        bios.Ink(kInkDim).Text(kReading);
    }

    if (!catalog_->Known(game)) {
        return;
    }
    const std::int32_t record = catalog_->Record(game);
    if (record == kNoRecord) {
        Line(screen, 10, 1, kInkDim).Text("No configuration record for this ROM.");
        return;
    }
    const std::uint8_t* r = cart_ + RecordOffset(table_, std::uint32_t(record));
    const std::int32_t cycles = std::int32_t(fmt::ReadU32(r + fmt::kRecordCycleCount));
    Line cyclesLine(screen, 9);
    cyclesLine.Text("Cycles").At(kValueColumn);
    if (cycles == 0) {
        cyclesLine.Text("default");
    } else {
        cyclesLine.SignedDec(cycles);
        if (rix::emu::EffectiveLineCycles(cycles).replaced) {
            // Outside the range a game can be run at.
            cyclesLine.Text(" (runs at ").Dec(std::uint32_t(rix::emu::kRealLineCycles)).Char(')');
        }
    }
    const std::uint8_t collision = r[fmt::kRecordCollision];
    Line collisionLine(screen, 10);
    collisionLine.Text("Collision").At(kValueColumn);
    const auto mode = std::uint8_t(rix::emu::CollisionModeFromRecord(collision));
    if (mode != collision) {
        collisionLine.Dec(collision).Text(": ");
    }
    collisionLine.Text(kCollisionNames[mode]);
    // A record that maps no button is played with the default controls: show those.
    const bool defaults = MapsNoButton(r);
    Line(screen, 11, 1, kInkDim)
        .Text("Button")
        .At(kValueColumn)
        .Text(defaults ? "defaults (none mapped)" : "ColecoVision control");
    for (std::uint32_t slot = 0; slot < fmt::kRecordControlCount; ++slot) {
        Line line(screen, 12 + int(slot));
        line.Text(kButtonNames[slot]).At(kValueColumn);
        DescribeControl(defaults ? rix::emu::kDefaultControls[slot]
                                 : fmt::ReadU16(r + fmt::kRecordControls + 2 * slot),
                        line);
    }
}

void Menu::DrawEmpty(TextScreen& screen) const {
    TitleBar(screen, kTitle);
    Line(screen, 2).Text("No games on this cartridge.");
    Line carries(screen, 4);
    carries.Text("It carries ")
        .Dec(table_.recordCount)
        .Text(table_.recordCount == 1 ? " configuration record" : " configuration records");
    Line(screen, 5).Text("and no ROM table.");
    Line(screen, 7, 1, kInkDim).Text("Add ROMs in Rix and build it again.");
}

void Menu::DrawBroken(TextScreen& screen) const {
    TitleBar(screen, "Rix - damaged cartridge table", kPaperError);
    Line(screen, 2).Text("The table behind the program failed a");
    Line(screen, 3).Text("check, so none of it is used:");
    Line a(screen, 5, 1, kInkAccent);
    Line b(screen, 6, 1, kInkAccent);
    Line c(screen, 7, 1, kInkAccent);
    const std::uint32_t* v = table_.values;
    switch (table_.check) {
    case TableCheck::kNone:
        break;
    case TableCheck::kHeaderOutside:
        a.Text("The table header at ").Dec(v[0]);
        b.Text("lies outside the 32 MiB cartridge.");
        break;
    case TableCheck::kNoTable:
        a.Text("Nothing follows the program: this is");
        b.Text("the bare image, not a cartridge.");
        break;
    case TableCheck::kRecordsOffset:
        a.Text("Header: the records offset is");
        b.Dec(v[0]).Text(", not 16.");
        break;
    case TableCheck::kRomTableForm:
        a.Text("Header: the ROM table offset ").Dec(v[0]);
        b.Text("is not 16 + 80 x n.");
        break;
    case TableCheck::kRomTableOutside:
        a.Text("Header: the ROM table offset ").Dec(v[0]);
        b.Text("lies outside the 32 MiB cartridge.");
        break;
    case TableCheck::kTooManyRecords:
        a.Dec(v[0]).Text(" configuration records:");
        b.Text("more than the ").Dec(kMaxRecords).Text(" this program reads.");
        break;
    case TableCheck::kEntryOutside:
        a.Text("ROM table entry ").Dec(v[0]).Text(" lies outside");
        b.Text("the 32 MiB cartridge: no terminator.");
        break;
    case TableCheck::kTooManyRoms:
        a.Text("No terminator within ").Dec(v[0]);
        b.Text("ROM entries: too many ROMs.");
        break;
    case TableCheck::kRomOutside:
        a.Text("ROM ").Dec(v[0]).Text(": offset ").Dec(v[1]).Text(",");
        b.Text("size ").Dec(v[2]).Text(", runs past the end");
        c.Text("of the 32 MiB cartridge.");
        break;
    case TableCheck::kRomInsideTable:
        a.Text("ROM ").Dec(v[0]).Text(": offset ").Dec(v[1]).Text(" lies");
        b.Text("inside the table, which ends at ").Dec(v[2]).Text(".");
        break;
    }
    Line(screen, 9, 1, kInkDim).Text("Build the cartridge again with Rix.");
}

} // namespace rix::gba
