// The search box of the toolbar window: an EDIT control that reports focus
// changes to the band (so the browser routes keys to it) and turns Enter into
// one search request to the toolbar window.
#pragma once

#include <windows.h>

// What the search box tells the band that owns it.
class BandFocusSink {
public:
    // The band's site learns that the band gained (true) or lost the focus.
    virtual void OnBandFocus(bool focused) = 0;

protected:
    ~BandFocusSink() = default;
};

class CSearchEdit {
public:
    // Private message of the toolbar window: search for the box's text.
    static const UINT WM_TOOLBAR_SEARCH = 2023;
    // The toolbar's Upload from Clipboard command, which Ctrl+Shift+V gives.
    static const UINT ID_UPLOAD_CLIPBOARD = 309;

    void SetBand(BandFocusSink* band) { band_ = band; }
    bool Create(HWND toolbar, const RECT& rect, HFONT font);
    HWND Window() const { return window_; }

    // The box got the focus (EN_SETFOCUS reached the toolbar window).
    void OnSetFocus();
    // Keyboard messages the browser hands to the band: Enter posts one search
    // (on key-down only: the character and key-up of the same Enter are
    // swallowed), Ctrl+Shift+V uploads from the clipboard, Tab gives the
    // focus back (S_FALSE), the rest is translated and dispatched.
    HRESULT TranslateAccelerator(MSG* msg);

private:
    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    BandFocusSink* band_ = nullptr;
};
