// A static text control of a dialog turned into a link: its text painted in link colours
// with an underlined font, a hand cursor and a tooltip over it, the keyboard focus on a
// click, and the text opened with the shell when clicked or when Space or Enter is pressed.
// An elevated process has the desktop's shell open it, as the user; where that shell cannot
// be reached, the address is shown for copying instead.
#pragma once

#include "base/basic_string.h"
#include "gui/anchor_color.h"
#include "platform/win32/windows_api.h"

namespace noviq::gui::win32 {

class HyperlinkControl {
public:
    HyperlinkControl() = default;
    ~HyperlinkControl();
    HyperlinkControl(const HyperlinkControl&) = delete;
    HyperlinkControl& operator=(const HyperlinkControl&) = delete;

    // Takes over `control` (its window procedure is replaced until the window is destroyed),
    // with `font` as its ordinary font (null: the system's icon-title font). The control's
    // text is both what is shown and what is opened. `copyable`, a hidden read-only edit
    // control, takes the link's place showing the address when the link cannot be opened.
    void attach(HWND control, HFONT font, HWND copyable);

    // Opens the link with the shell; true when the shell accepted it.
    bool navigate();

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT passOn(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);
    void createLinkFont();
    void computeLinkRectangle();
    UINT alignment() const;
    bool inLink(LPARAM point) const;
    void readRegistryColours();
    void redraw();
    void showCopyable();

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    WideString link_;
    HCURSOR hand_ = nullptr;
    HFONT linkFont_ = nullptr;
    HFONT normalFont_ = nullptr;
    bool ownLinkFont_ = false;
    bool ownNormalFont_ = false;
    RECT linkRect_{};
    HWND tooltip_ = nullptr;
    HWND copyable_ = nullptr;
    RgbColor linkColour_{0, 0, 255};
    RgbColor visitedColour_{128, 0, 128};
    bool paintLabel_ = true; // false for static kinds that draw images rather than text
    bool visited_ = false;
};

} // namespace noviq::gui::win32
