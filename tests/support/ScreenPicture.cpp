// Screen capture into PNG through GDI+ (see the header).
#include "support/ScreenPicture.h"

#include <gdiplus.h>

#include <vector>

#include "engine/GdiplusSession.h"

namespace {

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

BOOL CALLBACK AddVisibleWindow(HWND window, LPARAM param)
{
    RECT* all = reinterpret_cast<RECT*>(param);
    RECT rect{};
    if (IsWindowVisible(window) && GetWindowRect(window, &rect) && !IsRectEmpty(&rect)) {
        if (IsRectEmpty(all)) *all = rect;
        else UnionRect(all, all, &rect);
    }
    return TRUE;
}

}  // namespace

bool CaptureScreen(RECT rect, const std::wstring& path)
{
    GdiplusSession gdiplus;
    CLSID png;
    if (!gdiplus.IsStarted() || !PngEncoder(png)) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    bool saved = false;
    {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        saved = picture.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

RECT VisibleWindowsOfThread(DWORD thread)
{
    RECT all{};
    EnumThreadWindows(thread, &AddVisibleWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}
