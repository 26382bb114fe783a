// A hook that lets a program drive a modal dialog without a person: it is
// called once, from the dialog's own message loop, as soon as the dialog is up.
// The script may set controls and press buttons by posting or sending messages.
#pragma once

#include <windows.h>

#include <functional>

// dialog: the dialog window; panel: the options panel inside it (the dialog
// itself for dialogs without a separate panel).
using DialogScript = std::function<void(HWND dialog, HWND panel)>;

// Private message of the dialogs: run the script now that the modal loop runs.
enum DialogScriptMessage : UINT {
    UM_RUN_DIALOG_SCRIPT = WM_APP + 0x31,
};
