// Pictures for tests (see the header).
#include "support/Pictures.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace vptest {

extern const char kCameraMake[];
const char kCameraMake[] = "VellumpostTestCamera";

CLSID EncoderFor(const GUID& format)
{
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (IsEqualGUID(codecs[i].FormatID, format)) return codecs[i].Clsid;
    }
    ADD_FAILURE() << "no encoder";
    return CLSID_NULL;
}

void Paint(Gdiplus::Bitmap& bitmap, Pattern pattern)
{
    UINT seed = 12345;
    for (UINT y = 0; y < bitmap.GetHeight(); ++y) {
        for (UINT x = 0; x < bitmap.GetWidth(); ++x) {
            seed = seed * 1103515245 + 12345;
            Gdiplus::Color color(255, BYTE(x), BYTE(y), 128);
            if (pattern == kNoise) color = Gdiplus::Color(255, BYTE(seed >> 16), BYTE(seed >> 8), BYTE(seed >> 24));
            if (pattern == kSolid) color = Gdiplus::Color(255, 40, 90, 200);
            bitmap.SetPixel(x, y, color);
        }
    }
}

void MakePicture(const std::wstring& path, int width, int height, const GUID& format)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    Paint(bitmap, kGradient);
    const CLSID encoder = EncoderFor(format);
    ASSERT_EQ(Gdiplus::Ok, bitmap.Save(path.c_str(), &encoder, nullptr));
}

// A JPEG with an EXIF block naming the camera maker, put in by hand after the
// start marker: a TIFF header and one IFD entry (tag 0x010F, ASCII).
void MakeJpegWithExif(const std::wstring& path, int width, int height)
{
    MakePicture(path, width, height, Gdiplus::ImageFormatJPEG);
    std::string jpeg = ReadFileBytes(path);
    const std::string make(kCameraMake, sizeof(kCameraMake));
    std::string tiff("II*\0\x08\0\0\0\x01\0\x0F\x01\x02\0", 14);
    tiff += char(make.size()), tiff += std::string(3, '\0');
    tiff += std::string("\x1A\0\0\0\0\0\0\0", 8) + make;
    std::string segment = std::string("\xFF\xE1\0\0Exif\0\0", 10) + tiff;
    segment[2] = char((segment.size() - 2) >> 8);
    segment[3] = char((segment.size() - 2) & 0xFF);
    jpeg.insert(2, segment);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, jpeg.data(), DWORD(jpeg.size()), &written, nullptr);
    CloseHandle(file);
}

Decoded Decode(const std::wstring& path)
{
    Gdiplus::Bitmap bitmap(path.c_str());
    Decoded d = {bitmap.GetLastStatus() == Gdiplus::Ok, 0, 0, GUID_NULL};
    if (d.ok) {
        d.width = int(bitmap.GetWidth()), d.height = int(bitmap.GetHeight());
        bitmap.GetRawFormat(&d.format);
    }
    return d;
}

std::vector<BYTE> MakeDib(int width, int height, WORD bits)
{
    const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD) + stride * height);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    memcpy(dib.data(), &header, sizeof(header));
    auto* palette = reinterpret_cast<RGBQUAD*>(dib.data() + sizeof(header));
    for (size_t i = 0; i < colours; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    BYTE* rows = dib.data() + sizeof(header) + colours * sizeof(RGBQUAD);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE* pixel = rows + y * stride + x * (bits / 8);
            if (bits == 8) {
                pixel[0] = BYTE(x * 16);
            } else {
                pixel[0] = BYTE(x * 4);
                pixel[1] = BYTE(y * 4);
                pixel[2] = 128;
            }
        }
    }
    return dib;
}

}  // namespace vptest
