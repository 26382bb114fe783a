// Pictures of what the screen shows, for the programs that write the
// product's windows as PNG files (the band host and the window shots).
#pragma once

#include <windows.h>

#include <string>

// Writes what the screen shows inside rect as a PNG file.
bool CaptureScreen(RECT rect, const std::wstring& path);

// The union of the window rectangles of every visible top-level window of
// thread (a dialog with its open drop-down lists and menus); empty when none.
RECT VisibleWindowsOfThread(DWORD thread);
