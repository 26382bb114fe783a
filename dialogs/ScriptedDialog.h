// The common part of the tag dialogs: a modal dialog whose procedure finds
// its object, keeps exceptions inside, and runs a test script once the modal
// loop is up (see DialogScript.h).
#pragma once

#include <windows.h>

#include "dialogs/DialogScript.h"

class ScriptedDialog {
public:
    virtual ~ScriptedDialog() = default;
    void SetScript(DialogScript script) { script_ = std::move(script); }

protected:
    // DialogBoxParamW on the module's template; -1 (logged) when it cannot be shown.
    INT_PTR ShowModal(HWND owner, UINT templateId);
    // The dialog's messages; WM_INITDIALOG arrives here too.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual const char* LogCategory() const = 0;

    HWND dialog_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    DialogScript script_;
};
