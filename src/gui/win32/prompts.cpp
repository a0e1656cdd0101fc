// Windows prompts: the "JRE Not Found" dialog (a runtime folder chosen with the shell's
// folder browser) and the "Java Exception" dialog (stop the application or let it go on).
// Neither is shown where nobody could answer it; the not-found text then becomes an error
// line and the exception lets the run go on.
#include "gui/prompts.h"

#include "common/messages.h"
#include "dialog_ids.h"
#include "gui/win32/hyperlink.h"
#include "gui/win32/modal_dialog.h"
#include "gui/win32/ui_libraries.h"

namespace noviq {

using platform::win32::u;
using platform::win32::w;

namespace {

using gui::win32::HyperlinkControl;
using gui::win32::ModalDialog;

// The common controls register the classes of the dialogs' controls (with the manifest,
// version 6) and the tooltip of the link.
bool prepareCommonControls() {
    const gui::win32::CommonControls* controls = gui::win32::commonControls();
    if (!controls)
        return false;
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    controls->initCommonControlsEx(&classes);
    return true;
}

class JreNotFoundDialog final : public ModalDialog {
public:
    JreNotFoundDialog(const WideString& message, const FolderProbe& probe,
                      const gui::win32::Shell& shell)
        : message_(message), probe_(probe), shell_(shell) {}

    // 1 for OK, 2 for Cancel (Escape and the close box included), else not shown.
    INT_PTR show() { return run(NOVIQ_DIALOG_JRE_NOT_FOUND); }
    const WideString& runtimeFolder() const { return runtimeFolder_; }

private:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_INITDIALOG) {
            const HWND link = item(NOVIQ_DOWNLOAD_LINK);
            link_.attach(link, reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)),
                         item(NOVIQ_DOWNLOAD_COPYABLE));
            SetDlgItemTextW(window(), NOVIQ_NOT_FOUND_TEXT, w(message_));
            showErrorIcon(NOVIQ_ERROR_ICON);
            EnableWindow(item(IDOK), FALSE);
            centre();
            return TRUE; // the dialog manager focuses the first control that takes it
        }
        if (message != WM_COMMAND)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            if (libraryFound_) // never an OK without a library, whatever sent the command
                end(IDOK);
            break;
        case IDCANCEL:
            end(IDCANCEL);
            break;
        case NOVIQ_BROWSE_BUTTON:
            browse();
            break;
        default:
            break;
        }
        return TRUE;
    }

    void browse() {
        // The browser's own message loop also dispatches what was meant for this dialog (a
        // click or key queued on Browse before the browser took the focus): a second browser
        // would open inside this call, and once the user had answered it the first one
        // would still be open, its answer overwriting the folder chosen.
        if (browsing_)
            return;
        const WideString title = LoadMessage(MessageId::BrowseForJreFolder);
        wchar_t displayName[MAX_PATH] = {};
        BROWSEINFOW request{};
        request.hwndOwner = window();
        request.pszDisplayName = displayName;
        request.lpszTitle = w(title);
        request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
        browsing_ = true;
        const PIDLIST_ABSOLUTE chosen = shell_.browseForFolder(&request);
        browsing_ = false;
        if (!chosen)
            return; // cancelled: nothing changes
        wchar_t path[MAX_PATH] = {};
        const bool isFolder = shell_.pathFromIdList(chosen, path) != FALSE;
        shell_.coTaskMemFree(chosen);
        if (!isFolder || path[0] == L'\0')
            return;
        // The edit control shows the path as the shell gives it; the folder handed on ends
        // in a backslash (a drive root already has one).
        SetDlgItemTextW(window(), NOVIQ_JRE_PATH_EDIT, path);
        runtimeFolder_ = WideString(u(path));
        if (runtimeFolder_.last() != u'\\')
            runtimeFolder_ += u'\\';
        libraryFound_ = probe_(runtimeFolder_);
        EnableWindow(item(IDOK), libraryFound_);
    }

    const WideString& message_;
    const FolderProbe& probe_;
    const gui::win32::Shell& shell_;
    HyperlinkControl link_;
    WideString runtimeFolder_;
    bool libraryFound_ = false;
    bool browsing_ = false;
};

class ExceptionDialog final : public ModalDialog {
public:
    explicit ExceptionDialog(const WideString& trace) : trace_(withCrLf(trace)) {}

    // True when the user chose Stop.
    bool show() {
        // Stop's id is IDCANCEL, so the dialog manager would make Escape a Stop. A message
        // filter sees the key first and closes the dialog as Ignore instead.
        const HHOOK filter = SetWindowsHookExW(WH_MSGFILTER, &ExceptionDialog::escapeFilter,
                                               nullptr, GetCurrentThreadId());
        const INT_PTR result = run(NOVIQ_DIALOG_JAVA_EXCEPTION);
        if (filter)
            UnhookWindowsHookEx(filter);
        return result == IDCANCEL;
    }

private:
    static WideString withCrLf(const WideString& text) {
        WideString out;
        for (int32_t i = 0; i < text.length(); ++i) {
            const char16_t c = text[i];
            if (c == u'\r' || c == u'\n') {
                out += u"\r\n";
                if (c == u'\r' && i + 1 < text.length() && text[i + 1] == u'\n')
                    ++i;
            } else {
                out += c;
            }
        }
        return out;
    }

    static LRESULT CALLBACK escapeFilter(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (code == MSGF_DIALOGBOX && message->message == WM_KEYDOWN &&
            message->wParam == VK_ESCAPE) {
            SendMessageW(GetAncestor(message->hwnd, GA_ROOT), WM_CLOSE, 0, 0);
            return TRUE;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    INT_PTR handle(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(window(), NOVIQ_TRACE_EDIT, w(trace_));
            SendDlgItemMessageW(window(), NOVIQ_TRACE_EDIT, EM_SETSEL, 0, 0);
            SendDlgItemMessageW(window(), NOVIQ_TRACE_EDIT, EM_SCROLLCARET, 0, 0);
            showErrorIcon(NOVIQ_ERROR_ICON);
            centre();
            return TRUE;
        case WM_CLOSE: // the close box (and Escape, through the filter) never stops
            end(IDOK);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                end(LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    const WideString trace_;
};

} // namespace

RuntimePromptResult promptForRuntime(const WideString& message, const FolderProbe& probe) {
    RuntimePromptResult result;
    const gui::win32::Shell* shell =
        gui::win32::canShowDialogs() && prepareCommonControls() ? gui::win32::shell() : nullptr;
    if (shell) {
        // The folder browser's new style runs on COM in this thread.
        const HRESULT com =
            shell->coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        JreNotFoundDialog dialog(message, probe, *shell);
        const INT_PTR ended = dialog.show();
        if (SUCCEEDED(com))
            shell->coUninitialize();
        if (ended == IDOK)
            return {PromptOutcome::Accepted, dialog.runtimeFolder()};
        if (ended == IDCANCEL)
            return {PromptOutcome::Cancelled, WideString()};
    }
    // No dialog (no visible window station, no display, no shell): the text as an error line.
    ReportError(withDownloadAddress(message));
    return result;
}

void showErrorMessage(const WideString& caption, const WideString& text) {
    // Without a visible desktop a message box could wait for a click that never comes.
    if (gui::win32::canShowDialogs())
        MessageBoxW(nullptr, w(text), w(caption), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

bool presentException(const WideString& trace) {
    if (!gui::win32::canShowDialogs() || !prepareCommonControls())
        return false;
    return ExceptionDialog(trace).show();
}

} // namespace noviq
