// Picture conversion for uploads: shrinking a picture file into a box (the
// outside resize library first, the platform imaging library second), saving
// an in-memory picture with the PNG/JPEG choice, and capturing a window.
//
// Functions taking Gdiplus objects need a live GdiplusSession in the caller;
// the others start one themselves.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <string>
#include <vector>

#include "engine/FrameScaler.h"

// Results of ResizeToFile and ResizeBitmapToFile; failures are negative HRESULTs.
enum ResizeResult : int {
    kResizeWritten = 0,  // a resized file was written
    kResizeFits = 1,     // the picture already fits; nothing was written
};

// Metadata a resized JPEG carries over from its source: the imaging library's
// property items and, for JPEG sources, the raw EXIF segment (written into the
// output when the library itself did not write one).
class ImageProperties {
public:
    // Takes the property items of image and, when path is a JPEG file, its EXIF segment.
    void ReadFrom(Gdiplus::Image& image, const std::wstring& path);
    // Sets every item on image; items the library refuses are skipped.
    void ApplyTo(Gdiplus::Image& image) const;
    void RemoveFrom(Gdiplus::Image& image) const;

    size_t ItemCount() const { return items_.size(); }
    const std::vector<BYTE>& ExifSegment() const { return exifSegment_; }

private:
    // Each buffer is a PropertyItem whose value points into the same buffer.
    std::vector<std::vector<BYTE>> items_;
    std::vector<BYTE> exifSegment_;
};

// True when the image's width <= boxWidth and height <= boxHeight.
bool FitsInBox(Gdiplus::Image& image, int boxWidth, int boxHeight);

// Shrinks the picture file source into boxWidth x boxHeight, keeping its aspect
// ratio, into base + the extension of format (GUID_NULL: the format the source
// extension names). Returns kResizeFits with output = source when the picture
// already fits, kResizeWritten with output = the written file, or a negative
// HRESULT (output empty, no file left behind).
int ResizeToFile(const std::wstring& source, int boxWidth, int boxHeight, const std::wstring& base,
                 const GUID& format, std::wstring& output, FrameScaler& scaler = FrameScaler::Shared());

// Saves bitmap to base + the extension of format. With GUID_NULL, pictures
// under 22500 pixels are saved as PNG; larger ones are encoded as PNG and as
// JPEG and the smaller is kept (PNG when the JPEG is not smaller). JPEG is
// written at quality 85 with the given properties (may be null), falling back
// to the plain encoder. Returns S_OK with output = the written file, or a
// failure with no file left behind.
HRESULT SaveBitmap(Gdiplus::Bitmap& bitmap, const std::wstring& base, const GUID& format,
                   const ImageProperties* properties, std::wstring& output);
// The same for a GDI bitmap; starts the imaging library itself.
HRESULT SaveBitmap(HBITMAP bitmap, const std::wstring& base, const GUID& format, std::wstring& output);

// Shrinks an in-memory picture into the box: kResizeFits when it fits (nothing
// written). Otherwise it is saved as a temporary PNG copy (a temporary base
// path made from outputBase, + ".original.png"), resized from that copy into
// outputBase + extension (format GUID_NULL: PNG), and the copy is deleted.
// The outside resize library is tried first, the platform route after it.
int ResizeBitmapToFile(Gdiplus::Bitmap& bitmap, int boxWidth, int boxHeight, const std::wstring& outputBase,
                       const GUID& format, std::wstring& output, FrameScaler& scaler = FrameScaler::Shared());
int ResizeBitmapToFile(HBITMAP bitmap, int boxWidth, int boxHeight, const std::wstring& outputBase,
                       const GUID& format, std::wstring& output, FrameScaler& scaler = FrameScaler::Shared());

// Copies the window's whole rectangle (its window device context) into a
// 32-bit picture and saves it to path with the PNG/JPEG choice of SaveBitmap.
// The saved file's path (path + extension) goes to output when given.
bool SaveWindowImage(HWND window, const std::wstring& path, std::wstring* output = nullptr);
