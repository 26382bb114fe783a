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

// The picture drawn into the square (a blank square without one); null on failure.
HBITMAP Thumbnail(Gdiplus::Bitmap* source)
{
    Gdiplus::Bitmap square(kSize, kSize, PixelFormat32bppARGB);
    if (square.GetLastStatus() != Gdiplus::Ok) return nullptr;
    {
        Gdiplus::Graphics graphics(&square);
        graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
        if (source && source->GetLastStatus() == Gdiplus::Ok && source->GetWidth() > 0 && source->GetHeight() > 0) {
            const double scale = std::min({1.0, static_cast<double>(kSize) / source->GetWidth(),
                                           static_cast<double>(kSize) / source->GetHeight()});
            const int width = std::max(1, static_cast<int>(source->GetWidth() * scale));
            const int height = std::max(1, static_cast<int>(source->GetHeight() * scale));
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
            graphics.DrawImage(source, (kSize - width) / 2, (kSize - height) / 2, width, height);
        }
    }
    HBITMAP bitmap = nullptr;
    if (square.GetHBITMAP(Gdiplus::Color(255, 255, 255, 255), &bitmap) != Gdiplus::Ok) return nullptr;
    return bitmap;
}

// Only local files are read; web addresses get a blank square.
std::unique_ptr<Gdiplus::Bitmap> Load(const std::wstring& picture)
{
    const std::wstring path = FileUrlToPath(picture);
    if (path.empty() || path.find(L"://") != std::wstring::npos) return nullptr;
    return std::unique_ptr<Gdiplus::Bitmap>(Gdiplus::Bitmap::FromFile(path.c_str()));
}

std::unique_ptr<Gdiplus::Bitmap> Load(HBITMAP picture)
{
    if (!picture) return nullptr;
    return std::unique_ptr<Gdiplus::Bitmap>(Gdiplus::Bitmap::FromHBITMAP(picture, nullptr));
}

template <typename Picture>
HIMAGELIST MakeThumbnails(const std::vector<Picture>& pictures)
{
    const int count = static_cast<int>(std::min<size_t>(pictures.size(), 0x7fff));
    HIMAGELIST list = ImageList_Create(kSize, kSize, ILC_COLOR32 | ILC_MASK, count, 1);
    if (!list) return nullptr;
    GdiplusSession session;
    for (const Picture& picture : pictures) {
        HBITMAP bitmap = nullptr;
        if (session.IsStarted()) {
            std::unique_ptr<Gdiplus::Bitmap> source = Load(picture);
            bitmap = Thumbnail(source.get());
        }
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

}  // namespace

HIMAGELIST MakeTagThumbnails(const std::vector<std::wstring>& pictures)
{
    return MakeThumbnails(pictures);
}

HIMAGELIST MakeTagThumbnails(const std::vector<HBITMAP>& pictures)
{
    return MakeThumbnails(pictures);
}
