// The borderless dialog look (see the header).
#include "dialogs/BorderlessLook.h"

#include "common/HostCheck.h"

namespace {

const int kCornerEllipse = 30;
const BYTE kAlpha = 242;

}  // namespace

POINT KeptOnScreen(POINT at, SIZE dialog, SIZE screen)
{
    POINT kept = at;
    const LONG maxX = screen.cx - dialog.cx;
    const LONG maxY = screen.cy - kBorderlessBottomMargin - dialog.cy;
    if (kept.x > maxX) kept.x = maxX;
    if (kept.y > maxY) kept.y = maxY;
    return kept;
}

void ApplyBorderlessLook(HWND dialog, POINT at)
{
    RECT client = {};
    GetClientRect(dialog, &client);
    HRGN round = CreateRoundRectRgn(client.left, client.top, client.right + 1, client.bottom + 1, kCornerEllipse,
                                    kCornerEllipse);
    // The window owns the region from here on.
    if (round && !SetWindowRgn(dialog, round, TRUE)) DeleteObject(round);

    RECT window = {};
    GetWindowRect(dialog, &window);
    const SIZE size = {window.right - window.left, window.bottom - window.top};
    const SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const POINT kept = KeptOnScreen(at, size, screen);
    if (kept.x != 0 || kept.y != 0)
        SetWindowPos(dialog, nullptr, kept.x, kept.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(dialog, 0, kAlpha, LWA_ALPHA);
    if (!HostedInBrowser()) SetForegroundWindow(dialog);
}

bool AnswerBorderlessHitTest(HWND dialog, UINT message)
{
    if (message != WM_NCHITTEST) return false;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, HTCAPTION);
    return true;
}
