// Screen capture (see the header).
#include "engine/ScreenCapture.h"

#include "engine/ImageConverter.h"
#include "engine/TemporaryBasePath.h"
#include "engine/TemporaryFiles.h"

bool CaptureScreenShot(HWND window, std::wstring& saved)
{
    saved.clear();
    if (!window) window = GetDesktopWindow();
    if (!SaveWindowImage(window, TemporaryBasePath(L"/scr"), &saved) || saved.empty()) return false;
    AdoptTemporaryFile(saved);  // the capture goes once its upload is over
    return true;
}
