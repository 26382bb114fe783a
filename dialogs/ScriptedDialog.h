// A modal dialog whose test script runs by itself once the modal loop is up
// (see DialogScript.h): the dialog only handles its own messages.
#pragma once

#include <windows.h>

#include "dialogs/DialogWindow.h"

class ScriptedDialog : public DialogWindow {
protected:
    explicit ScriptedDialog(const char* logCategory) : DialogWindow(logCategory) {}
    // The dialog's messages; WM_INITDIALOG arrives here too.
    virtual INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
};
