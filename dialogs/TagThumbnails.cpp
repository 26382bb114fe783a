// Thumbnails for the tags dialog (see the header): each picture is shrunk
// into the square keeping its aspect ratio and centred on white.
#include "dialogs/TagThumbnails.h"

#include <gdiplus.h>

#include <algorithm>
#include <memory>

#include "engine/GdiplusSession.h"
#include "engine/UploadItem.h"

namespace {

const int kSize = 80;

// The picture drawn into the square, or a blank square; null on failure.
HBITMAP Thumbnail(const std::wstring& picture)
{
    Gdiplus::Bitmap square(kSize, kSize, PixelFormat32bppARGB);
    if (square.GetLastStatus() != Gdiplus::Ok) return nullptr;
    {
        Gdiplus::Graphics graphics(&square);
        graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
        const std::wstring path = FileUrlToPath(picture);
        const bool local = !path.empty() && path.find(L"://") == std::wstring::npos;
        if (local) {
            std::unique_ptr<Gdiplus::Bitmap> source(Gdiplus::Bitmap::FromFile(path.c_str()));
            if (source && source->GetLastStatus() == Gdiplus::Ok && source->GetWidth() > 0 &&
                source->GetHeight() > 0) {
                const double scale = std::min({1.0, static_cast<double>(kSize) / source->GetWidth(),
                                               static_cast<double>(kSize) / source->GetHeight()});
                const int width = std::max(1, static_cast<int>(source->GetWidth() * scale));
                const int height = std::max(1, static_cast<int>(source->GetHeight() * scale));
                graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
                graphics.DrawImage(source.get(), (kSize - width) / 2, (kSize - height) / 2, width, height);
            }
        }
    }
    HBITMAP bitmap = nullptr;
    if (square.GetHBITMAP(Gdiplus::Color(255, 255, 255, 255), &bitmap) != Gdiplus::Ok) return nullptr;
    return bitmap;
}

}  // namespace

HIMAGELIST MakeTagThumbnails(const std::vector<std::wstring>& pictures)
{
    const int count = static_cast<int>(std::min<size_t>(pictures.size(), 0x7fff));
    HIMAGELIST list = ImageList_Create(kSize, kSize, ILC_COLOR32 | ILC_MASK, count, 1);
    if (!list) return nullptr;
    GdiplusSession session;
    for (const std::wstring& picture : pictures) {
        HBITMAP bitmap = session.IsStarted() ? Thumbnail(picture) : nullptr;
        if (!bitmap) {
            // A plain square keeps the images in step with the pictures.
            HDC screen = GetDC(nullptr);
            bitmap = CreateCompatibleBitmap(screen, kSize, kSize);
            ReleaseDC(nullptr, screen);
            HDC memory = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(memory, bitmap);
            RECT all = {0, 0, kSize, kSize};
            FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        const int added = bitmap ? ImageList_Add(list, bitmap, nullptr) : -1;
        if (bitmap) DeleteObject(bitmap);
        if (added < 0) {
            ImageList_Destroy(list);
            return nullptr;
        }
    }
    return list;
}
