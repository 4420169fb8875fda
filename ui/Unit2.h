// The ROM configuration dialog. It keeps nothing of its own: each opening fills it from the
// ROM list's settings document and the row it edits, and each pick goes straight to the list,
// which stores it in that ROM's section.
#pragma once

#include <QDialog>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class QComboBox;

namespace rix {
class RomListModel;
}

namespace Ui {
class TForm2;
}

class TForm2 : public QDialog {
    Q_OBJECT

public:
    // A dialog over `model`, which must outlive it.
    explicit TForm2(rix::RomListModel& model);
    ~TForm2() override;

    // Fills the dialog for the ROM of list row `row`, then shows it modally until it closes.
    // A conversion error while filling is shown by the error display and the dialog opens all
    // the same.
    void ShowModal(std::size_t row);

public slots:
    void FormShow();
    void cbQuickConfigChange();
    void cbLeftBackChange();
    void cbRightBackChange();
    void cbStartChange();
    void cbSelectChange();
    void cbAChange();
    void cbBChange();
    void cbCycleCountChange();
    void cbCollisionChange();
    void Button2Click();

public:
    // A request to close: refused while the name field is empty.
    bool FormCloseQuery();
    // The dialog closes: the name goes to the ROM's row and section.
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct ButtonBox {
        QComboBox* box;
        std::string_view key;
    };
    // Back Left, Back Right, Start, Select, Button A, Button B: the order the boxes are
    // filled in.
    std::array<ButtonBox, 6> BoxesInFillOrder() const;
    // The box that shows the choice for a button key.
    QComboBox* BoxOf(std::string_view key) const;
    void StoreButton(QComboBox* box, std::string_view key);

    std::unique_ptr<Ui::TForm2> ui_;
    rix::RomListModel& model_;
    std::size_t row_ = 0;
};
