// Modal dialogs from the executable's templates, each bound to a C++ object: the object's
// address travels through DialogBoxParamW's parameter and stays in the window's user data.
#pragma once

#include "platform/win32/windows_api.h"

namespace noviq::gui::win32 {

// Whether a user can see and answer a dialog: the process's window station is the visible
// one (a service's is not, and a dialog there would wait forever).
bool canShowDialogs();

class ModalDialog {
public:
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

protected:
    ModalDialog() = default;
    ~ModalDialog() = default;

    // Shows the template and returns the value given to end(), or 0 or -1 when the dialog
    // could not be created (the thread's last error says why). The owner is the calling
    // thread's active window, if any.
    INT_PTR run(int templateId);
    void end(INT_PTR result) { EndDialog(window_, result); }
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }

    // A dialog procedure's answer: TRUE when handled, FALSE for the default handling.
    virtual INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Initialisation every dialog shares: the system's error icon in the static control
    // `iconId`, and the dialog centred over its owner (or the work area) without leaving the
    // work area, neither resized nor activated by the move.
    void showErrorIcon(int iconId);
    void centre();

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

} // namespace noviq::gui::win32
