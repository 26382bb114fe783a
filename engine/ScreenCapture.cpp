// Screen capture (see the header).
#include "engine/ScreenCapture.h"

#include "engine/ImageConverter.h"
#include "engine/TemporaryBasePath.h"

bool CaptureScreenShot(HWND window, std::wstring& saved)
{
    saved.clear();
    if (!window) window = GetDesktopWindow();
    return SaveWindowImage(window, TemporaryBasePath(L"/scr"), &saved) && !saved.empty();
}
