// The window side every dialog of the library shares: the procedures that
// find the dialog's object (kept in the window from WM_INITDIALOG until
// WM_NCDESTROY) and catch what it throws, and the script that may answer
// for the user once the dialog is up.
#pragma once

#include <windows.h>

#include "dialogs/DialogScript.h"

class DialogWindow {
public:
    void SetScript(DialogScript script) { script_ = std::move(script); }

protected:
    explicit DialogWindow(const char* logCategory) : logCategory_(logCategory) {}
    virtual ~DialogWindow() = default;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // A modal dialog of this module's template; its result, or -1 (logged)
    // when it cannot be created.
    INT_PTR ShowModal(UINT templateId, HWND owner);
    // A panel inside the open-file dialog: the hook procedure and the data
    // (OPENFILENAMEW::lCustData) that lead to this object.
    static UINT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
    LPARAM PanelData() { return reinterpret_cast<LPARAM>(this); }

    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Asks for the script to run once the dialog's message loop runs.
    void ScheduleScript();
    // On UM_RUN_DIALOG_SCRIPT: runs the script once with the top-level
    // dialog and this window.
    void RunScript(HWND dialog);

    HWND window_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // starting: the object, on WM_INITDIALOG only.
    static INT_PTR Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DialogWindow* starting);

    const char* logCategory_;
    DialogScript script_;
};
