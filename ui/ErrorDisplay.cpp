#include "ui/ErrorDisplay.h"

#include "platform/Errors.h"
#include "ui/AnsiText.h"
#include "ui/Seam.h"
#include "ui/UiTexts.h"

namespace rix::ui {

void ShowError(QWidget* parent, const std::exception& error) {
    MessageBoxRequest box;
    box.caption = ToQString(text::kApplicationTitle);
    box.text = MessageToQString(ErrorDisplayText(error.what()));
    box.icon = BoxIcon::Error;
    box.buttons = BoxButtons::Ok;
    CurrentSeam().ShowMessageBox(parent, box);
}

bool RunGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ShowError(parent, error);
        return false;
    }
}

} // namespace rix::ui
