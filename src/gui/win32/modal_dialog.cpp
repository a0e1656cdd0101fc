// The binding of dialog windows to their objects, and what every dialog does when it opens.
#include "gui/win32/modal_dialog.h"

namespace noviq::gui::win32 {

bool canShowDialogs() {
    USEROBJECTFLAGS flags{};
    const HWINSTA station = GetProcessWindowStation();
    // A station that cannot be asked is treated as invisible: no dialog rather than a hang.
    return station &&
           GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

INT_PTR ModalDialog::run(int templateId) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                           GetActiveWindow(), &ModalDialog::procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        reinterpret_cast<ModalDialog*>(lParam)->window_ = window;
    }
    // Messages before WM_INITDIALOG (the font, the frame) find no object yet.
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

void ModalDialog::showErrorIcon(int iconId) {
    SendDlgItemMessageW(window_, iconId, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_ERROR)), 0);
}

void ModalDialog::centre() {
    RECT dialog;
    GetWindowRect(window_, &dialog);
    const HWND owner = GetWindow(window_, GW_OWNER);
    const bool overOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(overOwner ? owner : window_, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    const RECT& area = monitor.rcWork;
    RECT over = area;
    if (overOwner)
        GetWindowRect(owner, &over);
    const LONG width = dialog.right - dialog.left, height = dialog.bottom - dialog.top;
    LONG x = over.left + (over.right - over.left - width) / 2;
    LONG y = over.top + (over.bottom - over.top - height) / 2;
    // Inside the work area: pulled back from the right and bottom first, so that a dialog
    // larger than the area keeps its top left corner (and caption) visible.
    if (x + width > area.right)
        x = area.right - width;
    if (y + height > area.bottom)
        y = area.bottom - height;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace noviq::gui::win32
