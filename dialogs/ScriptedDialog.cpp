// Dialogs whose script runs by itself (see the header).
#include "dialogs/ScriptedDialog.h"

INT_PTR ScriptedDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_RUN_DIALOG_SCRIPT) {
        // The dialog would show itself once its queue is empty; the script
        // acts on it as the user sees it.
        ShowWindow(window_, SW_SHOW);
        RunScript(window_);
        return TRUE;
    }
    const INT_PTR handled = OnDialogMessage(message, wParam, lParam);
    if (message == WM_INITDIALOG) ScheduleScript();
    return handled;
}
