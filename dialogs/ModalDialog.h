// The shared frame of the small modal dialogs of the module's resources, on
// the dialogs' window layer (DialogWindow: the procedure, its exception guard
// and the script): initialisation, commands, the script run once the dialog
// is up, and closing with the button's id.
#pragma once

#include <windows.h>

#include "common/LogWriter.h"
#include "dialogs/DialogWindow.h"

class CModalDialog : public DialogWindow {
public:
    // Shows the dialog over owner; the id of the button that closed it
    // (IDOK or IDCANCEL), or -1 when the dialog could not be created.
    INT_PTR DoModal(HWND owner);

protected:
    CModalDialog(UINT templateId, const char* logCategory)
        : DialogWindow(logCategory), templateId_(templateId), log_(logCategory)
    {
    }

    HWND Window() const { return window_; }
    const LogWriter& Log() const { return log_; }

    virtual void OnInitDialog() {}
    // IDOK and IDCANCEL end the dialog with their id.
    virtual void OnCommand(UINT id);
    // Messages the frame does not handle itself; FALSE: not handled.
    virtual INT_PTR OnOtherMessage(UINT, WPARAM, LPARAM) { return FALSE; }

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) final;

    UINT templateId_;
    LogWriter log_;
};

// A dialog drawn on one solid light grey brush, its static texts on a
// transparent background. The brush lives as long as the object.
class CBrushedDialog : public CModalDialog {
public:
    ~CBrushedDialog() override;

protected:
    CBrushedDialog(UINT templateId, const char* logCategory);
    INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HBRUSH brush_;
};
