// Captures a window (or the whole desktop) into a picture file in the
// temporary folder: the screenshot of the uploader and of the toolbar button.
#pragma once

#include <windows.h>

#include <string>

// Captures window (the whole desktop when null) into a picture in the
// temporary folder named after "scr"; the saved file's path goes to saved.
bool CaptureScreenShot(HWND window, std::wstring& saved);
