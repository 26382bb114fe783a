// Keeps a browser top-level window from closing while work that reports to it
// (an upload, an update check) is still running: the window is subclassed, its
// close command only hides it, and the last holder's release restores it and
// closes it if the user closed it meanwhile.
#pragma once

#include <windows.h>

// Private window messages of the keeper's window procedure. Holds are taken
// only through AddRef: a message that any program may post adds none.
enum KeeperMessage : UINT {
    WM_KEEPER_RELEASE = 1912,
};

class RefTimedKeeper {
public:
    // Takes one hold on window, subclassing it on the first. Windows of other
    // processes are refused (the handle may come from page script); returns
    // whether the hold was taken. Callable from any thread of this process.
    static bool AddRef(HWND window);
    // Gives back one hold; the last one restores the window in its own thread.
    static void Release(HWND window);

    // The number of holds on window (0 when it is not kept).
    static LONG Count(HWND window);

private:
    static LRESULT CALLBACK SubclassWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void Unsubclass(HWND window);
};
