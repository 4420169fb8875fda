#include "ui/Unit2.h"

#include "builder/RomListModel.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "settings/Schema.h"
#include "ui/AnsiText.h"
#include "ui/ErrorDisplay.h"
#include "ui/Look.h"
#include "ui/Seam.h"
#include "ui/UiTexts.h"
#include "ui_Unit2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

#include <algorithm>
#include <optional>

using namespace rix;
using namespace rix::ui;

namespace {

constexpr int kClientWidth = 657;
constexpr int kClientHeight = 412;

// Selects the first entry equal to `text` without regard to letter case; none when no entry
// matches.
void SelectByText(QComboBox* box, std::string_view text) {
    box->setCurrentIndex(box->findText(ToQString(text), Qt::MatchFixedString));
}

// Makes `box` as wide as its longest entry needs, if it is narrower. It grows away from the
// dialog's nearer side, so that it stays over the picture.
void WidenToFit(QComboBox* box) {
    const int needed = box->sizeHint().width();
    if (needed <= box->width()) {
        return;
    }
    QRect place = box->geometry();
    if (place.center().x() < kClientWidth / 2) {
        place.setWidth(needed);
    } else {
        place.setLeft(place.right() + 1 - needed);
    }
    box->setGeometry(place);
}

// A box's text: its selected entry's, empty without a selection.
std::string TextOf(const QComboBox* box) {
    return ToAnsi(box->currentText());
}

} // namespace

TForm2::TForm2(RomListModel& model) : ui_(std::make_unique<Ui::TForm2>()), model_(model) {
    ui_->setupUi(this);
    setFont(FormFont());
    // Tool-window frame with a close button only, on top of everything, fixed size.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kClientWidth, kClientHeight);

    QPalette white = ui_->Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui_->Panel1->setPalette(white);
    PlaceChildrenInClientArea(ui_->Panel1);
    // Each button box covers its call-out label whole, corners included, and is wide enough
    // for its longest choice at the window's font.
    for (const ButtonBox& button : BoxesInFillOrder()) {
        button.box->setAutoFillBackground(true);
        WidenToFit(button.box);
    }
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4}) {
        label->adjustSize(); // as wide as its text
    }

    connect(ui_->cbQuickConfig, &QComboBox::activated, this,
            Guarded(this, &TForm2::cbQuickConfigChange));
    connect(ui_->cbLeftBack, &QComboBox::activated, this, Guarded(this, &TForm2::cbLeftBackChange));
    connect(ui_->cbRightBack, &QComboBox::activated, this,
            Guarded(this, &TForm2::cbRightBackChange));
    connect(ui_->cbStart, &QComboBox::activated, this, Guarded(this, &TForm2::cbStartChange));
    connect(ui_->cbSelect, &QComboBox::activated, this, Guarded(this, &TForm2::cbSelectChange));
    connect(ui_->cbA, &QComboBox::activated, this, Guarded(this, &TForm2::cbAChange));
    connect(ui_->cbB, &QComboBox::activated, this, Guarded(this, &TForm2::cbBChange));
    connect(ui_->cbCycleCount, &QComboBox::activated, this,
            Guarded(this, &TForm2::cbCycleCountChange));
    connect(ui_->cbCollision, &QComboBox::activated, this,
            Guarded(this, &TForm2::cbCollisionChange));
    connect(ui_->Button2, &QPushButton::clicked, this, Guarded(this, &TForm2::Button2Click));
    // Typing never makes the name longer than 47 characters, or than it already is.
    connect(ui_->edRomName, &QLineEdit::textEdited, this, [this](const QString& name) {
        ui_->edRomName->setMaxLength(
            std::max(static_cast<int>(name.size()), text::kDisplayNameLength));
    });

    ui_->Button2->setFocus(); // tab order 0
}

TForm2::~TForm2() = default;

std::array<TForm2::ButtonBox, 6> TForm2::BoxesInFillOrder() const {
    return {{{ui_->cbLeftBack, schema::kBackLeft},
             {ui_->cbRightBack, schema::kBackRight},
             {ui_->cbStart, schema::kStart},
             {ui_->cbSelect, schema::kSelect},
             {ui_->cbA, schema::kButtonA},
             {ui_->cbB, schema::kButtonB}}};
}

QComboBox* TForm2::BoxOf(std::string_view key) const {
    for (const ButtonBox& button : BoxesInFillOrder()) {
        if (button.key == key) {
            return button.box;
        }
    }
    return nullptr;
}

void TForm2::ShowModal(std::size_t row) {
    row_ = row;
    // Errors while filling are shown over the window the dialog was opened from.
    RunGuarded(QApplication::activeWindow(), [this] { FormShow(); });
    exec();
}

void TForm2::FormShow() {
    const TCustomIniFile& ini = model_.Settings();
    const RomRow& rom = model_.Row(row_);
    const std::string& section = rom.romKey;
    // A value that is not an integer ends the list it stands in. The steps after it still run,
    // so that nothing from an earlier opening (another ROM's name above all) is left on show
    // to be stored for this ROM; the error is reported once the dialog is filled.
    std::optional<RixError> conversionError;

    // The presets in key order, then "Custom".
    ui_->cbQuickConfig->clear();
    for (const std::string& preset :
         schema::ReadNumberedList(ini, schema::kControlDefaults, schema::kDefaultPrefix)) {
        ui_->cbQuickConfig->addItem(ToQString(preset));
    }
    ui_->cbQuickConfig->addItem(ToQString(schema::kCustom));

    // The stored cycle count is compared as text.
    const std::string storedCycle = ini.ReadEntry(section, schema::kCycleCount, "");

    // "Default", then each value in hexadecimal; the last one equal to the stored text is
    // selected, and "Default" when none is.
    ui_->cbCycleCount->clear();
    ui_->cbCycleCount->addItem(ToQString(schema::kDefaultCycleItem));
    const std::vector<std::string> cycles =
        schema::ReadNumberedList(ini, schema::kCycleCounts, schema::kCyclePrefix);
    for (std::size_t n = 0; n < cycles.size(); ++n) {
        std::int32_t value = 0;
        if (!TryStrToInt(cycles[n], value)) {
            conversionError = NotValidInteger(cycles[n]);
            break;
        }
        ui_->cbCycleCount->addItem(ToQString(IntToHex(static_cast<std::uint32_t>(value), 4)));
        if (cycles[n] == storedCycle) {
            ui_->cbCycleCount->setCurrentIndex(static_cast<int>(n) + 1);
        }
    }

    if (ui_->cbCycleCount->currentIndex() < 0) {
        ui_->cbCycleCount->setCurrentIndex(0);
    }

    const std::string storedMode =
        ini.ReadEntry(section, schema::kCollisionMode, schema::kDialogCollisionDefault);

    // The modes as they are; the one at the stored position is selected, the first one when
    // none is there. The stored mode is converted only when there is a mode to compare it with.
    ui_->cbCollision->clear();
    const std::vector<std::string> modes =
        schema::ReadNumberedList(ini, schema::kCollisionDetection, schema::kCollisionPrefix);
    std::optional<std::int32_t> mode;
    for (std::size_t n = 0; n < modes.size(); ++n) {
        ui_->cbCollision->addItem(ToQString(modes[n]));
        if (n == 0) {
            std::int32_t value = 0;
            if (TryStrToInt(storedMode, value)) {
                mode = value;
            } else if (!conversionError) {
                conversionError = NotValidInteger(storedMode);
            }
        }
        if (mode && static_cast<std::int64_t>(n) == *mode) {
            ui_->cbCollision->setCurrentIndex(static_cast<int>(n));
        }
    }

    if (ui_->cbCollision->currentIndex() < 0) {
        ui_->cbCollision->setCurrentIndex(0);
    }

    // Only typing is held to 47 characters; a longer stored name is shown whole.
    const QString caption = ToQString(rom.caption);
    ui_->edRomName->setMaxLength(
        std::max(static_cast<int>(caption.size()), text::kDisplayNameLength));
    ui_->edRomName->setText(caption);

    // The row's preset, matched without regard to letter case.
    SelectByText(ui_->cbQuickConfig, rom.control);

    // "Custom": the ROM's own choices, open to change. A preset (or no match): that preset's
    // choices, shown only.
    const std::string quickConfig = TextOf(ui_->cbQuickConfig);
    const bool custom = quickConfig == schema::kCustom;
    const std::string choices = custom ? section : schema::PresetSection(quickConfig);
    for (const ButtonBox& button : BoxesInFillOrder()) {
        button.box->setEnabled(custom);
        SelectByText(button.box, ini.ReadEntry(choices, button.key, schema::kUnassigned));
    }

    if (conversionError) {
        throw *conversionError;
    }
}

void TForm2::cbQuickConfigChange() {
    const std::string quickConfig = TextOf(ui_->cbQuickConfig);
    const bool custom = quickConfig == schema::kCustom;
    // A preset's choices are shown, not changed; "Custom" makes the choices on show the ROM's
    // own.
    const std::string preset = schema::PresetSection(quickConfig);
    for (const ButtonBox& button : BoxesInFillOrder()) {
        button.box->setEnabled(custom);
        if (!custom) {
            SelectByText(button.box,
                         model_.Settings().ReadEntry(preset, button.key, schema::kUnassigned));
        }
    }
    model_.SetControl(row_, quickConfig,
                      [this](std::string_view key) { return TextOf(BoxOf(key)); });
}

void TForm2::StoreButton(QComboBox* box, std::string_view key) {
    model_.SetButton(row_, key, TextOf(box));
}

void TForm2::cbLeftBackChange() {
    StoreButton(ui_->cbLeftBack, schema::kBackLeft);
}

void TForm2::cbRightBackChange() {
    StoreButton(ui_->cbRightBack, schema::kBackRight);
}

void TForm2::cbStartChange() {
    StoreButton(ui_->cbStart, schema::kStart);
}

void TForm2::cbSelectChange() {
    StoreButton(ui_->cbSelect, schema::kSelect);
}

void TForm2::cbAChange() {
    StoreButton(ui_->cbA, schema::kButtonA);
}

void TForm2::cbBChange() {
    StoreButton(ui_->cbB, schema::kButtonB);
}

void TForm2::cbCycleCountChange() {
    // The list's entries follow "Default" in the order of "Cycle Counts".
    const int index = ui_->cbCycleCount->currentIndex();
    if (TextOf(ui_->cbCycleCount) == schema::kDefaultCycleItem) {
        model_.SetCycleCount(row_, std::nullopt);
    } else {
        model_.SetCycleCount(row_, index - 1);
    }
}

void TForm2::cbCollisionChange() {
    model_.SetCollisionMode(row_, ui_->cbCollision->currentIndex());
}

void TForm2::Button2Click() {
    close();
}

bool TForm2::FormCloseQuery() {
    if (!ui_->edRomName->text().isEmpty()) {
        return true; // blanks alone are a name
    }
    CurrentSeam().ShowMessageBox(this,
                                 {ToQString(text::kBlankNameCaption),
                                  ToQString(text::kBlankNameText), BoxIcon::None, BoxButtons::Ok});
    return false;
}

void TForm2::FormClose() {
    model_.SetName(row_, ToAnsi(ui_->edRomName->text()));
}

void TForm2::closeEvent(QCloseEvent* event) {
    bool allowed = false;
    RunGuarded(this, [this, &allowed] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    RunGuarded(this, [this] { FormClose(); });
    QDialog::closeEvent(event); // ends the modal loop
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept(); // never closes the dialog
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // "OK" is not the default button: Enter presses it only while it has the focus.
        if (focusWidget() == ui_->Button2) {
            ui_->Button2->click();
        }
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
