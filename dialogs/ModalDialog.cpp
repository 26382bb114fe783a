// The shared frame of the small modal dialogs (see the header).
#include "dialogs/ModalDialog.h"

#include <commctrl.h>

INT_PTR CModalDialog::DoModal(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    return ShowModal(templateId_, owner);
}

void CModalDialog::OnCommand(UINT id)
{
    if (id == IDOK || id == IDCANCEL) EndDialog(window_, id);
}

INT_PTR CModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        ScheduleScript();
        return TRUE;
    case UM_RUN_DIALOG_SCRIPT:
        // The script acts on the dialog as the user sees it.
        ShowWindow(window_, SW_SHOW);
        RunScript(window_);
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
