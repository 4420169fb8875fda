// The ROM configuration dialog. It keeps nothing of its own: each opening fills it from the
// settings document and the main window's focused row, and each pick is written straight into
// that ROM's section.
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <string>
#include <string_view>

class QComboBox;
class TForm1;

namespace Ui {
class TForm2;
}

class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(TForm1& form1);
    ~TForm2() override;

    // Fills the dialog, then shows it modally until it closes. A conversion error while
    // filling is shown by the error display and the dialog opens all the same.
    void ShowModal();

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
    // The dialog closes: the name goes to the ROM section and the row's caption.
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
    // Back Left, Back Right, Select, Start, Button A, Button B: the order their keys are
    // written and deleted in.
    std::array<ButtonBox, 6> BoxesInKeyOrder() const;
    // The ROM section: named by the focused row's ROM key.
    std::string RomSection() const;
    void StoreButton(QComboBox* box, std::string_view key);

    std::unique_ptr<Ui::TForm2> ui_;
    TForm1& form1_;
};
