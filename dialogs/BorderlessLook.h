// The look of the small borderless dialogs that open where the user clicked:
// rounded corners, slightly see-through, kept fully on the monitor's work
// area, dragged by any point.
#pragma once

#include <windows.h>

// The top-left corner at which a window of size opens when asked to open at
// at: moved inward so that it lies inside workArea, with bottomMargin pixels
// kept free above the work area's bottom. A window larger than the area keeps
// its top-left corner inside it.
POINT PlaceInside(POINT at, SIZE size, const RECT& workArea, int bottomMargin);

// On WM_INITDIALOG: clips dialog to a rounded rectangle, moves it to at kept
// on the work area of at's monitor, makes it layered and brings it to the
// foreground when the process is not the browser.
void ApplyBorderlessLook(HWND dialog, POINT at);

// The answer to WM_NCHITTEST that lets every point drag the dialog.
inline INT_PTR DragAnywhere(HWND dialog)
{
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, HTCAPTION);
    return TRUE;
}
