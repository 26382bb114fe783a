// Pictures for tests: real files written with the platform imaging library
// (a gradient, noise or one colour; a JPEG with a hand-made EXIF block) and
// what a written file decodes to.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <string>
#include <vector>

namespace vptest {

// The camera maker written into the EXIF block of MakeJpegWithExif.
extern const char kCameraMake[];

enum Pattern { kGradient, kNoise, kSolid };

CLSID EncoderFor(const GUID& format);
// Fills a bitmap; noise compresses badly, a solid colour very well.
void Paint(Gdiplus::Bitmap& bitmap, Pattern pattern);
// The caller keeps a GdiplusSession alive while these run.
void MakePicture(const std::wstring& path, int width, int height, const GUID& format);
void MakeJpegWithExif(const std::wstring& path, int width, int height);

struct Decoded {
    bool ok;
    int width, height;
    GUID format;
};
Decoded Decode(const std::wstring& path);

// The bytes of a bottom-up DIB (info header, palette, rows) as the clipboard
// holds one: a gradient at 24 bits, or grey steps at 8 bits with a palette.
std::vector<BYTE> MakeDib(int width, int height, WORD bits = 24);

}  // namespace vptest
