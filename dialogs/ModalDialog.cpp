// The shared frame of the small modal dialogs (see the header).
#include "dialogs/ModalDialog.h"

#include <commctrl.h>

#include <exception>

#include "common/ModuleInstance.h"

INT_PTR CModalDialog::DoModal(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (result == -1) log_.Format("FAILED to create dialog %u, error %lu", templateId_, GetLastError());
    return result;
}

void CModalDialog::OnCommand(UINT id)
{
    if (id == IDOK || id == IDCANCEL) EndDialog(window_, id);
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CModalDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
    }
    if (!self) return FALSE;
    try {
        INT_PTR handled = self->OnMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            self->window_ = nullptr;
        }
        return handled;
    } catch (const std::exception& e) {
        self->log_.Format("EXCEPTION in the dialog procedure of %s: %s", LogAddress(self).c_str(), e.what());
    } catch (...) {
        self->log_.Format("EXCEPTION in the dialog procedure of %s, message 0x%x", LogAddress(self).c_str(), message);
    }
    return FALSE;
}

INT_PTR CModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        if (script_) PostMessageW(window_, UM_RUN_DIALOG_SCRIPT, 0, 0);
        return TRUE;
    case UM_RUN_DIALOG_SCRIPT:
        if (script_) {
            DialogScript script = std::move(script_);
            script_ = nullptr;
            // The script acts on the dialog as the user sees it.
            ShowWindow(window_, SW_SHOW);
            script(window_, window_);
        }
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return TRUE;
    default:
        return OnOtherMessage(message, wParam, lParam);
    }
}

CBrushedDialog::CBrushedDialog(UINT templateId, const char* logCategory)
    : CModalDialog(templateId, logCategory), brush_(CreateSolidBrush(RGB(212, 208, 200)))
{
}

CBrushedDialog::~CBrushedDialog()
{
    if (brush_) DeleteObject(brush_);
}

INT_PTR CBrushedDialog::OnOtherMessage(UINT message, WPARAM wParam, LPARAM)
{
    if ((message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC) || !brush_) return FALSE;
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<INT_PTR>(brush_);
}
