// The cancel-tagging dialog (see the header).
#include "engine/CancelTagging.h"

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "resources/resource.h"

int CCancelTagging::DoModal(HWND owner)
{
    const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_CANCEL_TAGGING), owner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    if (result == IDYES || result == IDNO || result == IDCANCEL) return static_cast<int>(result);
    LogWriter("CCancelTagging").Format("Cannot show the cancel dialog, error %lu", GetLastError());
    return IDNO;
}

INT_PTR CALLBACK CCancelTagging::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
try {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
        case IDNO:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
} catch (...) {
    LogWriter("CCancelTagging").Format("EXCEPTION on message 0x%x in %s", message,
                                       LogAddress(dialog).c_str());
    return FALSE;
}
