// The look of the small borderless dialogs (see the header).
#include "dialogs/BorderlessLook.h"

#include <algorithm>

#include "common/HostCheck.h"

namespace {

const int kCornerEllipse = 30;
const int kBottomMargin = 25;
const BYTE kAlpha = 242;

}  // namespace

POINT PlaceInside(POINT at, SIZE size, const RECT& workArea, int bottomMargin)
{
    POINT place = at;
    place.x = std::min<LONG>(place.x, workArea.right - size.cx);
    place.y = std::min<LONG>(place.y, workArea.bottom - bottomMargin - size.cy);
    place.x = std::max<LONG>(place.x, workArea.left);
    place.y = std::max<LONG>(place.y, workArea.top);
    return place;
}

void ApplyBorderlessLook(HWND dialog, POINT at)
{
    RECT client = {};
    GetClientRect(dialog, &client);
    HRGN region = CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, kCornerEllipse, kCornerEllipse);
    // The window owns the region once it is set.
    if (region && !SetWindowRgn(dialog, region, TRUE)) DeleteObject(region);

    RECT window = {};
    GetWindowRect(dialog, &window);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const SIZE size = {window.right - window.left, window.bottom - window.top};
        const POINT place = PlaceInside(at, size, monitor.rcWork, kBottomMargin);
        SetWindowPos(dialog, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(dialog, 0, kAlpha, LWA_ALPHA);
    if (!HostedInBrowser()) SetForegroundWindow(dialog);
}
