// The error display: every error that escapes a handler ends here, is shown in a message box
// captioned with the application title, with the error icon, an OK button and the full-stop
// rule, and the program goes on.
#pragma once

#include <exception>
#include <functional>

class QWidget;

namespace rix::ui {

void ShowError(QWidget* parent, const std::exception& error);

// Runs `handler`; an error it throws is shown and swallowed. False when one was shown.
bool RunGuarded(QWidget* parent, const std::function<void()>& handler);

// A slot body for connect(): runs object->handler() through RunGuarded.
template <class Window> auto Guarded(Window* window, void (Window::*handler)()) {
    return [window, handler] { RunGuarded(window, [window, handler] { (window->*handler)(); }); };
}

} // namespace rix::ui
