// The link control: a subclassed static control. Its object is found through a window
// property, and the previous window procedure gets every message the link does not handle.
#include "gui/win32/hyperlink.h"

#include <commctrl.h>
#include <string>
#include <windowsx.h>

#include "gui/win32/desktop_shell.h"
#include "gui/win32/ui_libraries.h"
#include "platform/process.h"
#include "platform/win32/scoped_handle.h"

namespace noviq::gui::win32 {

using platform::win32::w;

namespace {

constexpr wchar_t kObjectProperty[] = L"Noviq.HyperlinkControl";

// The pointing hand, 32 by 32 with its hot spot on the finger tip (column 5, row 0): "." is
// transparent, "B" black, "W" white; the rows and columns not drawn are transparent.
constexpr char kHand[22][18] = {
    ".....BB..........", "....BWWB.........", "....BWWB.........", "....BWWB.........",
    "....BWWB.........", "....BWWBBB.......", "....BWWBWWBBB....", "....BWWBWWBWWBB..",
    "....BWWBWWBWWBWB.", "BBB.BWWBWWBWWBWWB", "BWWBBWWWWWWWWBWWB", "BWWWBWWWWWWWWWWWB",
    ".BWWBWWWWWWWWWWWB", "..BWBWWWWWWWWWWWB", "..BWWWWWWWWWWWWWB", "...BWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWB.", "....BWWWWWWWWWWB.", "....BWWWWWWWWWWB.", ".....BWWWWWWWWB..",
    ".....BWWWWWWWWB..", ".....BBBBBBBBBB..",
};

constexpr bool handIsWellFormed() {
    for (const auto& row : kHand)
        for (int column = 0; column < 18; ++column)
            if (column < 17 ? row[column] != '.' && row[column] != 'B' && row[column] != 'W'
                            : row[column] != '\0')
                return false;
    return true;
}
static_assert(handIsWellFormed(), "every row of the hand holds 17 pixels");

HCURSOR createHandCursor() {
    BYTE andPlane[32 * 4], xorPlane[32 * 4];
    for (int row = 0; row < 32; ++row) {
        for (int column = 0; column < 32; ++column) {
            const char pixel = row < 22 && column < 17 ? kHand[row][column] : '.';
            const int byte = row * 4 + column / 8;
            const BYTE bit = static_cast<BYTE>(0x80 >> (column % 8));
            if (column % 8 == 0)
                andPlane[byte] = xorPlane[byte] = 0;
            if (pixel == '.')
                andPlane[byte] |= bit;
            if (pixel == 'W')
                xorPlane[byte] |= bit;
        }
    }
    return CreateCursor(GetModuleHandleW(nullptr), 5, 0, 32, 32, andPlane, xorPlane);
}

COLORREF toColorRef(RgbColor c) {
    return RGB(c.red, c.green, c.blue);
}

// A value of the key as text: REG_SZ or REG_EXPAND_SZ of at most 11 characters, whole
// characters ending in a zero (or no data at all).
bool readColourText(HKEY key, const wchar_t* name, RgbColor& colour) {
    wchar_t text[12];
    DWORD type = 0, size = sizeof text;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size % sizeof(wchar_t) != 0)
        return false;
    const size_t length = size / sizeof(wchar_t);
    if (length > 0 && text[length - 1] != L'\0')
        return false;
    const std::optional<RgbColor> parsed = parseAnchorColor(
        std::u16string_view(platform::win32::u(text), length > 0 ? length - 1 : 0));
    if (parsed)
        colour = *parsed;
    return parsed.has_value();
}

} // namespace

HyperlinkControl::~HyperlinkControl() {
    if (hand_)
        DestroyCursor(hand_);
}

void HyperlinkControl::attach(HWND control, HFONT font, HWND copyable) {
    window_ = control;
    copyable_ = copyable;
    normalFont_ = font;
    SetPropW(control, kObjectProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperlinkControl::windowProcedure)));

    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    if (CompareStringOrdinal(className, -1, L"static", -1, TRUE) == CSTR_EQUAL) {
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        SetWindowLongPtrW(control, GWL_STYLE, style | SS_NOTIFY); // mouse input reaches us
        const LONG_PTR kind = style & SS_TYPEMASK;
        if ((kind >= SS_ICON && kind <= SS_WHITEFRAME) ||
            (kind >= SS_OWNERDRAW && kind <= SS_ENHMETAFILE))
            paintLabel_ = false; // images, frames and owner drawing keep their own painting
    }
    hand_ = createHandCursor();
    if (paintLabel_) {
        if (!normalFont_) {
            LOGFONTW iconTitle{};
            if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0)) {
                normalFont_ = CreateFontIndirectW(&iconTitle);
                ownNormalFont_ = normalFont_ != nullptr;
            }
        }
        createLinkFont();
    }
    tooltip_ =
        CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, control, nullptr, GetModuleHandleW(nullptr), nullptr);

    const int length = GetWindowTextLengthW(control);
    if (length > 0) {
        std::u16string text(static_cast<size_t>(length) + 1, u'\0');
        GetWindowTextW(control, w(text.data()), length + 1);
        link_ = WideString(text.c_str());
    }
    computeLinkRectangle();
    if (!link_.isEmpty() && tooltip_) {
        SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = control;
        tool.uId = 1;
        tool.rect = linkRect_;
        tool.hinst = GetModuleHandleW(nullptr);
        tool.lpszText = const_cast<wchar_t*>(w(link_));
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (paintLabel_)
        readRegistryColours();
}

bool HyperlinkControl::navigate() {
    if (link_.isEmpty())
        return false;
    // Elevated, this process's own shell would run the handler that the user's classes name,
    // which any of the user's programs can register.
    bool opened = false;
    if (platform::isElevated()) {
        opened = openWithDesktopShell(w(link_));
    } else if (const Shell* api = shell()) {
        opened = reinterpret_cast<INT_PTR>(api->execute(nullptr, L"open", w(link_), nullptr,
                                                        nullptr, SW_SHOWNORMAL)) > 32;
    }
    if (!opened) {
        showCopyable();
        return false;
    }
    visited_ = true;
    InvalidateRect(window_, nullptr, TRUE);
    return true;
}

LRESULT CALLBACK HyperlinkControl::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    auto* self = static_cast<HyperlinkControl*>(GetPropW(window, kObjectProperty));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The last message: the control is given back its own procedure.
        const WNDPROC previous = self->previous_;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(window, kObjectProperty);
        self->window_ = nullptr;
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT HyperlinkControl::passOn(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(previous_, window_, message, wParam, lParam);
}

LRESULT HyperlinkControl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_XBUTTONDBLCLK && tooltip_) {
        MSG relayed{};
        relayed.hwnd = window_;
        relayed.message = message;
        relayed.wParam = wParam;
        relayed.lParam = lParam;
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    switch (message) {
    case WM_DESTROY:
        if (tooltip_)
            DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        if (ownLinkFont_)
            DeleteObject(linkFont_);
        if (ownNormalFont_)
            DeleteObject(normalFont_);
        linkFont_ = normalFont_ = nullptr;
        ownLinkFont_ = ownNormalFont_ = false;
        return passOn(message, wParam, lParam);
    case WM_SIZE:
        computeLinkRectangle();
        InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (!paintLabel_)
            break;
        InvalidateRect(window_, nullptr, TRUE); // the focus rectangle comes or goes
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (!paintLabel_)
            break;
        if (message == WM_PRINTCLIENT) {
            paint(reinterpret_cast<HDC>(wParam));
        } else {
            PAINTSTRUCT ps;
            if (HDC dc = BeginPaint(window_, &ps)) {
                paint(dc);
                EndPaint(window_, &ps);
            }
        }
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting fills the background itself
    case WM_SETCURSOR: {
        POINT at;
        GetCursorPos(&at);
        ScreenToClient(window_, &at);
        if (!link_.isEmpty() && PtInRect(&linkRect_, at))
            return TRUE; // the hand set on mouse move stays
        break;
    }
    case WM_SETFONT:
        if (ownNormalFont_)
            DeleteObject(normalFont_);
        normalFont_ = reinterpret_cast<HFONT>(wParam);
        ownNormalFont_ = false;
        if (ownLinkFont_)
            createLinkFont();
        computeLinkRectangle();
        if (LOWORD(lParam))
            redraw();
        return 0;
    case WM_ENABLE:
        redraw(); // disabled text is grey
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(normalFont_);
    case WM_GETDLGCODE: {
        // Characters reach the control; so does Enter, which the dialog manager would
        // otherwise take for its default button.
        const auto* pending = reinterpret_cast<const MSG*>(lParam);
        const bool enter =
            pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN;
        return DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L' ')
            navigate();
        return 0;
    case WM_UPDATEUISTATE:
    case WM_MOUSELEAVE:
        return 0;
    case WM_MOUSEMOVE:
        if (link_.isEmpty() || !inLink(lParam))
            break;
        SetCursor(hand_);
        return 0;
    case WM_LBUTTONDOWN:
        if (inLink(lParam)) {
            SetFocus(window_);
            SetCapture(window_);
        }
        return 0;
    case WM_LBUTTONUP:
        // A press that leaves the link before its release opens nothing.
        if (GetCapture() == window_) {
            ReleaseCapture();
            if (inLink(lParam))
                navigate();
        }
        return 0;
    default:
        break;
    }
    return passOn(message, wParam, lParam);
}

void HyperlinkControl::paint(HDC dc) {
    RECT client;
    GetClientRect(window_, &client);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(window_), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(window_)));
    if (brush)
        FillRect(dc, &client, brush);
    SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = !IsWindowEnabled(window_) ? GetSysColor(COLOR_GRAYTEXT)
                            : visited_                ? toColorRef(visitedColour_)
                                                      : toColorRef(linkColour_);
    const COLORREF previousColour = SetTextColor(dc, colour);
    const HGDIOBJ previousFont = SelectObject(dc, linkFont_ ? linkFont_ : normalFont_);
    if (!link_.isEmpty())
        DrawTextW(dc, w(link_), -1, &linkRect_, alignment() | DT_WORDBREAK);
    if (GetFocus() == window_)
        DrawFocusRect(dc, &linkRect_);
    SetTextColor(dc, previousColour);
    SelectObject(dc, previousFont);
}

void HyperlinkControl::createLinkFont() {
    if (ownLinkFont_)
        DeleteObject(linkFont_);
    linkFont_ = nullptr;
    ownLinkFont_ = false;
    LOGFONTW description{};
    const HGDIOBJ base = normalFont_ ? normalFont_ : GetStockObject(SYSTEM_FONT);
    if (!GetObjectW(base, sizeof description, &description))
        return;
    description.lfUnderline = TRUE;
    linkFont_ = CreateFontIndirectW(&description);
    ownLinkFont_ = linkFont_ != nullptr;
}

void HyperlinkControl::computeLinkRectangle() {
    if (!IsWindow(window_) || link_.isEmpty())
        return;
    RECT client;
    GetClientRect(window_, &client);
    linkRect_ = client;
    if (!paintLabel_)
        return;
    if (HDC dc = GetDC(window_)) {
        const HGDIOBJ previousFont = SelectObject(dc, linkFont_ ? linkFont_ : normalFont_);
        DrawTextW(dc, w(link_), -1, &linkRect_, DT_CALCRECT | DT_WORDBREAK | alignment());
        SelectObject(dc, previousFont);
        ReleaseDC(window_, dc);
    }
    const LONG spare = client.right - linkRect_.right;
    const LONG shift = alignment() == DT_CENTER ? spare / 2 : alignment() == DT_RIGHT ? spare : 0;
    OffsetRect(&linkRect_, shift, 0);
}

UINT HyperlinkControl::alignment() const {
    const LONG_PTR kind = GetWindowLongPtrW(window_, GWL_STYLE) & SS_TYPEMASK;
    return kind == SS_CENTER ? DT_CENTER : kind == SS_RIGHT ? DT_RIGHT : DT_LEFT;
}

bool HyperlinkControl::inLink(LPARAM point) const {
    const POINT at{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    return PtInRect(&linkRect_, at) != FALSE;
}

void HyperlinkControl::readRegistryColours() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0,
                      KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    const platform::win32::ScopedRegistryKey key(opened);
    readColourText(key.get(), L"Anchor Color", linkColour_);
    readColourText(key.get(), L"Anchor Color Visited", visitedColour_);
}

void HyperlinkControl::showCopyable() {
    if (!copyable_ || IsWindowVisible(copyable_))
        return;
    SetWindowTextW(copyable_, w(link_));
    ShowWindow(window_, SW_HIDE);
    ShowWindow(copyable_, SW_SHOW);
    // The dialog manager's focus change selects an edit control's whole text.
    SendMessageW(GetParent(copyable_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(copyable_), TRUE);
}

void HyperlinkControl::redraw() {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
}

} // namespace noviq::gui::win32
