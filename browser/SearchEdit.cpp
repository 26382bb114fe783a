// The toolbar's search box and its keyboard handling inside the band.
#include "browser/SearchEdit.h"

bool CSearchEdit::Create(HWND toolbar, const RECT& rect, HFONT font)
{
    toolbar_ = toolbar;
    window_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, toolbar, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (window_ && font) SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window_ != nullptr;
}

void CSearchEdit::OnSetFocus()
{
    if (band_) band_->OnBandFocus(true);
}

HRESULT CSearchEdit::TranslateAccelerator(MSG* msg)
{
    if (!msg) return E_POINTER;
    const bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    if (key && msg->wParam == VK_RETURN) {
        msg->wParam = 0;
        if (msg->message == WM_KEYDOWN && toolbar_) PostMessageW(toolbar_, WM_TOOLBAR_SEARCH, 0, 0);
        return S_OK;
    }
    // Not translated, so no Ctrl+V character pastes into the box as well.
    if (msg->message == WM_KEYDOWN && msg->wParam == 'V' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) < 0) {
        if (toolbar_) PostMessageW(toolbar_, WM_COMMAND, MAKEWPARAM(ID_UPLOAD_CLIPBOARD, 0), 0);
        return S_OK;
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
        if (band_) band_->OnBandFocus(false);
        return S_FALSE;
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return S_OK;
}
