// The dialogs' shared window side (see the header).
#include "dialogs/DialogWindow.h"

#include <commdlg.h>

#include <exception>

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"

INT_PTR DialogWindow::ShowModal(UINT templateId, HWND owner)
{
    INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (result == -1) LogWriter(logCategory_).Format("FAILED to create the dialog, error %lu", GetLastError());
    return result;
}

void DialogWindow::ScheduleScript()
{
    if (script_) PostMessageW(window_, UM_RUN_DIALOG_SCRIPT, 0, 0);
}

void DialogWindow::RunScript(HWND dialog)
{
    if (!script_) return;
    DialogScript script = std::move(script_);
    script_ = nullptr;
    script(dialog, window_);
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Route(dialog, message, wParam, lParam,
                 message == WM_INITDIALOG ? reinterpret_cast<DialogWindow*>(lParam) : nullptr);
}

UINT_PTR CALLBACK DialogWindow::PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogWindow* starting = nullptr;
    if (message == WM_INITDIALOG && lParam)
        starting = reinterpret_cast<DialogWindow*>(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData);
    return static_cast<UINT_PTR>(Route(panel, message, wParam, lParam, starting));
}

INT_PTR DialogWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DialogWindow* starting)
{
    auto* self = starting ? starting : reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    try {
        if (starting) {
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(starting));
            starting->window_ = window;
        }
        INT_PTR handled = self->OnMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            self->window_ = nullptr;
        }
        return handled;
    } catch (const std::exception& e) {
        LogWriter(self->logCategory_).Write("EXCEPTION in the dialog procedure: ", e.what());
    } catch (...) {
        LogWriter(self->logCategory_).Format("EXCEPTION in the dialog procedure, message 0x%x", message);
    }
    return FALSE;
}
