// The question shown when the user cancels a pass of the tag upload queue:
// cancel it ("Yes"), go on ("No") or stop now and upload the rest with a
// later pass ("Continue later").
#pragma once

#include <windows.h>

class CCancelTagging {
public:
    // Shows the dialog modally over owner (may be null). IDYES, IDCANCEL for
    // "No" (also Escape and the close box), IDNO for "Continue later". When the
    // dialog cannot be shown the answer is IDNO: the pass stops and nothing
    // queued is lost.
    int DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
