// The modal dialog procedure shared by the tag dialogs (see the header).
#include "dialogs/ScriptedDialog.h"

#include <exception>

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"

INT_PTR ScriptedDialog::ShowModal(HWND owner, UINT templateId)
{
    const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId), owner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    if (result == -1) LogWriter(LogCategory()).Format("FAILED to create the dialog, error %lu", GetLastError());
    return result;
}

INT_PTR CALLBACK ScriptedDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<ScriptedDialog*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<ScriptedDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    const INT_PTR handled = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->dialog_ = nullptr;
    }
    return handled;
}

INT_PTR ScriptedDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
try {
    if (message == UM_RUN_DIALOG_SCRIPT) {
        if (!script_) return TRUE;
        DialogScript script = std::move(script_);
        script_ = nullptr;
        // The dialog would show itself once its queue is empty; the script
        // acts on it as the user sees it.
        ShowWindow(dialog_, SW_SHOW);
        script(dialog_, dialog_);
        return TRUE;
    }
    const INT_PTR handled = OnMessage(message, wParam, lParam);
    if (message == WM_INITDIALOG && script_) PostMessageW(dialog_, UM_RUN_DIALOG_SCRIPT, 0, 0);
    return handled;
} catch (const std::exception& e) {
    LogWriter(LogCategory()).Write("EXCEPTION in the dialog procedure: ", e.what());
    return FALSE;
} catch (...) {
    LogWriter(LogCategory()).Format("EXCEPTION in the dialog procedure, message 0x%x", message);
    return FALSE;
}
