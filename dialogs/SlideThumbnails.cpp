// Slide thumbnails (see the header). Pictures are decoded and scaled with
// GDI+; small pictures are centred in the cell, never enlarged.
#include "dialogs/SlideThumbnails.h"

#include <gdiplus.h>

#include <memory>

#include "common/LogWriter.h"
#include "engine/GdiplusSession.h"
#include "engine/ImageSize.h"
#include "engine/UploadItem.h"

namespace {

LogWriter Log()
{
    return LogWriter("SlideThumbnails");
}

Gdiplus::Color CellBackground()
{
    COLORREF window = GetSysColor(COLOR_WINDOW);
    return Gdiplus::Color(255, GetRValue(window), GetGValue(window), GetBValue(window));
}

// A grey picture frame with a crossed-out middle: "no picture here".
void DrawDefaultPicture(Gdiplus::Graphics& graphics)
{
    const int inset = 10;
    const int side = kSlideThumbnailSize - 2 * inset;
    Gdiplus::SolidBrush fill(Gdiplus::Color(255, 0xE4, 0xE4, 0xE4));
    Gdiplus::Pen frame(Gdiplus::Color(255, 0x80, 0x80, 0x80), 2.0f);
    Gdiplus::Pen cross(Gdiplus::Color(255, 0xB0, 0xB0, 0xB0), 2.0f);
    graphics.FillRectangle(&fill, inset, inset, side, side);
    graphics.DrawRectangle(&frame, inset, inset, side, side);
    graphics.DrawLine(&cross, inset + 8, inset + 8, inset + side - 8, inset + side - 8);
    graphics.DrawLine(&cross, inset + side - 8, inset + 8, inset + 8, inset + side - 8);
}

// Draws the picture of path into the cell; false when it cannot be read.
bool DrawPicture(Gdiplus::Graphics& graphics, const std::wstring& path)
{
    const std::wstring local = FileUrlToPath(path);
    if (local.empty()) return false;
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromFile(local.c_str()));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) return false;
    const int width = static_cast<int>(picture->GetWidth());
    const int height = static_cast<int>(picture->GetHeight());
    if (width <= 0 || height <= 0) return false;
    PictureSize fitted = FittedSize(width, height, kSlideThumbnailSize, kSlideThumbnailSize);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    Gdiplus::Rect cell((kSlideThumbnailSize - fitted.width) / 2, (kSlideThumbnailSize - fitted.height) / 2,
                       fitted.width, fitted.height);
    return graphics.DrawImage(picture.get(), cell) == Gdiplus::Ok;
}

}  // namespace

HIMAGELIST CreateSlideThumbnails(const std::vector<std::wstring>& paths, std::vector<bool>* loaded)
{
    if (loaded) loaded->assign(paths.size(), false);
    HIMAGELIST list = ImageList_Create(kSlideThumbnailSize, kSlideThumbnailSize, ILC_COLOR32 | ILC_MASK,
                                       static_cast<int>(paths.size()), 0);
    if (!list) {
        Log().Format("FAILED to create the image list, error %lu", GetLastError());
        return nullptr;
    }
    GdiplusSession gdiplus;
    for (size_t i = 0; i < paths.size(); ++i) {
        HBITMAP bitmap = nullptr;
        if (gdiplus.IsStarted()) {
            Gdiplus::Bitmap cell(kSlideThumbnailSize, kSlideThumbnailSize, PixelFormat32bppARGB);
            Gdiplus::Graphics graphics(&cell);
            graphics.Clear(CellBackground());
            bool drawn = DrawPicture(graphics, paths[i]);
            if (!drawn) {
                graphics.Clear(CellBackground());
                DrawDefaultPicture(graphics);
            }
            if (loaded) (*loaded)[i] = drawn;
            cell.GetHBITMAP(CellBackground(), &bitmap);
        }
        // Every path gets an image, so image i stays the picture of path i.
        int added = bitmap ? ImageList_Add(list, bitmap, nullptr) : -1;
        if (bitmap) DeleteObject(bitmap);
        if (added < 0) {
            Log().Format("FAILED to add the picture of slide %u", static_cast<unsigned>(i));
            ImageList_Destroy(list);
            return nullptr;
        }
    }
    return list;
}
