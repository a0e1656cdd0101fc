// The desktop shell's automation chain: the shell windows' desktop entry, its top-level
// browser, the active view, that view's automation object, the shell application behind
// it, and its ShellExecute, which runs in the desktop shell's process.
#include "gui/win32/desktop_shell.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include "gui/win32/ui_libraries.h"
#include "platform/win32/scoped_handle.h"

namespace noviq::gui::win32 {

namespace {

// From the system's uuid library, which is not linked: the shell windows' class and the
// service that names a view's top-level browser.
constexpr CLSID kShellWindows = {
    0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowser = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

template <class Interface> struct ComTraits {
    using Handle = Interface*;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { h->Release(); }
};
template <class Interface> using ComPointer = platform::win32::ScopedHandle<ComTraits<Interface>>;

// `from`'s interface `Wanted`, or nothing.
template <class Wanted, class Interface>
ComPointer<Wanted> query(const ComPointer<Interface>& from) {
    Wanted* wanted = nullptr;
    if (!from ||
        FAILED(from.get()->QueryInterface(__uuidof(Wanted), reinterpret_cast<void**>(&wanted))))
        return {};
    return ComPointer<Wanted>(wanted);
}

// The shell application of the desktop window's folder view.
ComPointer<IShellDispatch2> desktopShell(const Automation& com) {
    IShellWindows* rawWindows = nullptr;
    if (FAILED(com.coCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                    __uuidof(IShellWindows),
                                    reinterpret_cast<void**>(&rawWindows))))
        return {};
    const ComPointer<IShellWindows> windows(rawWindows);
    VARIANT desktop{};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT none{};
    long window = 0;
    IDispatch* rawEntry = nullptr;
    if (windows.get()->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                    &rawEntry) != S_OK)
        return {};
    const ComPointer<IDispatch> entry(rawEntry);
    const ComPointer<IServiceProvider> services = query<IServiceProvider>(entry);
    IShellBrowser* rawBrowser = nullptr;
    if (!services || FAILED(services.get()->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser),
                                                         reinterpret_cast<void**>(&rawBrowser))))
        return {};
    const ComPointer<IShellBrowser> browser(rawBrowser);
    IShellView* rawView = nullptr;
    if (FAILED(browser.get()->QueryActiveShellView(&rawView)) || !rawView)
        return {};
    const ComPointer<IShellView> view(rawView);
    IDispatch* rawBackground = nullptr;
    if (FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch),
                                         reinterpret_cast<void**>(&rawBackground))))
        return {};
    const ComPointer<IDispatch> background(rawBackground);
    const ComPointer<IShellFolderViewDual> folderView = query<IShellFolderViewDual>(background);
    IDispatch* rawApplication = nullptr;
    if (!folderView || FAILED(folderView.get()->get_Application(&rawApplication)))
        return {};
    return query<IShellDispatch2>(ComPointer<IDispatch>(rawApplication));
}

} // namespace

bool openWithDesktopShell(const wchar_t* document) {
    const Automation* com = automation();
    if (!com)
        return false;
    const ComPointer<IShellDispatch2> shell = desktopShell(*com);
    if (!shell)
        return false;
    const BSTR file = com->sysAllocString(document);
    const BSTR open = com->sysAllocString(L"open");
    bool opened = false;
    if (file && open) {
        VARIANT none{}, verb{}, show{};
        verb.vt = VT_BSTR;
        verb.bstrVal = open;
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        opened = shell.get()->ShellExecute(file, none, none, verb, show) == S_OK;
    }
    com->sysFreeString(file);
    com->sysFreeString(open);
    return opened;
}

} // namespace noviq::gui::win32
