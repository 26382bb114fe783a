// Checking and saving clipboard pictures (see the header). Every size is
// computed in 64 bits from the header's fields, so no product of hostile
// values can wrap around to something small.
#include "engine/ClipboardPicture.h"

#include <gdiplus.h>
#include <objbase.h>
#include <wrl/client.h>

#include <cstring>
#include <memory>

#include "common/LogWriter.h"
#include "engine/GdiplusSession.h"
#include "engine/IEImageUploader.h"
#include "engine/ImageConverter.h"

using Microsoft::WRL::ComPtr;

namespace {

LogWriter Log()
{
    return LogWriter("ClipboardPicture");
}

DWORD ReadBig32(const BYTE* at)
{
    return static_cast<DWORD>(at[3]) | static_cast<DWORD>(at[2]) << 8 | static_cast<DWORD>(at[1]) << 16 |
           static_cast<DWORD>(at[0]) << 24;
}

PictureCheck Verdict(PictureCheck::Verdict verdict, LONGLONG width = 0, LONGLONG height = 0)
{
    PictureCheck check;
    check.verdict = verdict;
    check.width = width;
    check.height = height;
    return check;
}

bool TooLarge(LONGLONG width, LONGLONG height)
{
    return width > kMaxClipboardPictureSide || height > kMaxClipboardPictureSide;
}

// Decodes bytes (a whole picture file) and writes the picture as a PNG file.
HRESULT DecodeAndSave(const BYTE* bytes, size_t size, LONGLONG width, LONGLONG height, const std::wstring& base,
                      std::wstring& output)
{
    output.clear();
    GdiplusSession session;
    if (!session.IsStarted() || size > MAXDWORD) return E_FAIL;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return E_OUTOFMEMORY;
    ULONG written = 0;
    if (FAILED(stream->Write(bytes, static_cast<ULONG>(size), &written)) || written != size) return E_OUTOFMEMORY;
    const LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return E_FAIL;
    // The bitmap reads from the stream for as long as it lives.
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) {
        Log().Write("The clipboard's picture cannot be decoded");
        return kUndecodable;
    }
    if (picture->GetWidth() != width || picture->GetHeight() != height) {
        Log().Format("The clipboard's picture decodes as %ux%u, not as its header says", picture->GetWidth(),
                     picture->GetHeight());
        return kUndecodable;
    }
    return SaveBitmap(*picture, base, Gdiplus::ImageFormatPNG, nullptr, output);
}

}  // namespace

PictureCheck CheckDib(const BYTE* data, size_t size)
{
    if (!data || size < sizeof(BITMAPINFOHEADER)) return Verdict(PictureCheck::kDamaged);
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof(header));
    const DWORD headerSize = header.biSize;
    // Info header, its two extensions with colour masks, and the versions 4 and 5.
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != sizeof(BITMAPV4HEADER) &&
        headerSize != sizeof(BITMAPV5HEADER))
        return Verdict(PictureCheck::kDamaged);
    if (headerSize > size) return Verdict(PictureCheck::kDamaged);
    const LONGLONG width = header.biWidth;
    const LONGLONG height = header.biHeight < 0 ? -static_cast<LONGLONG>(header.biHeight) : header.biHeight;
    if (width <= 0 || height <= 0 || header.biPlanes != 1) return Verdict(PictureCheck::kDamaged);

    const WORD bits = header.biBitCount;
    const DWORD compression = header.biCompression;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Verdict(PictureCheck::kDamaged);
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        return Verdict(PictureCheck::kDamaged);
    if (TooLarge(width, height)) return Verdict(PictureCheck::kTooLarge, width, height);

    // A plain info header is followed by the three masks it has no room for.
    const ULONGLONG masks = compression == BI_BITFIELDS && headerSize == 40 ? 3 * sizeof(DWORD) : 0;
    const ULONGLONG paletteLimit = bits <= 8 ? (1ull << bits) : 256;
    ULONGLONG colours = header.biClrUsed;
    if (colours == 0 && bits <= 8) colours = 1ull << bits;
    if (colours > paletteLimit) return Verdict(PictureCheck::kDamaged);
    const ULONGLONG stride = (static_cast<ULONGLONG>(width) * bits + 31) / 32 * 4;
    const ULONGLONG total = headerSize + masks + colours * sizeof(RGBQUAD) + stride * static_cast<ULONGLONG>(height);
    // At most 16384 x 16384 x 4 bytes and a palette: far below what one
    // request can carry, so only the memory bounds it.
    if (total > size) return Verdict(PictureCheck::kDamaged);
    PictureCheck check = Verdict(PictureCheck::kFits, width, height);
    check.bytes = static_cast<size_t>(total);
    return check;
}

PictureCheck CheckPng(const BYTE* data, size_t size)
{
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // Signature, then the header chunk: length 13, "IHDR", width, height, ...
    if (!data || size < 8 + 8 + 13 + 4 || std::memcmp(data, kSignature, 8) != 0 || ReadBig32(data + 8) != 13 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return Verdict(PictureCheck::kDamaged);
    const LONGLONG width = ReadBig32(data + 16), height = ReadBig32(data + 20);
    if (width == 0 || height == 0) return Verdict(PictureCheck::kDamaged);
    if (TooLarge(width, height)) return Verdict(PictureCheck::kTooLarge, width, height);
    // Compressed rows stay small, but a file may carry any amount beside them.
    if (size > CIEImageUploader::kMaxBodySize) return Verdict(PictureCheck::kTooBig, width, height);
    PictureCheck check = Verdict(PictureCheck::kFits, width, height);
    check.bytes = size;
    return check;
}

PictureCheck DibFromBitmap(HBITMAP bitmap, std::vector<BYTE>& dib)
{
    dib.clear();
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return Verdict(PictureCheck::kDamaged);
    if (TooLarge(info.bmWidth, info.bmHeight)) return Verdict(PictureCheck::kTooLarge, info.bmWidth, info.bmHeight);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const size_t rows = static_cast<size_t>(info.bmWidth) * 4 * static_cast<size_t>(info.bmHeight);
    dib.resize(sizeof(header) + rows);
    std::memcpy(dib.data(), &header, sizeof(header));
    HDC screen = GetDC(nullptr);
    const int copied = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), dib.data() + sizeof(header),
                                 reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (copied != info.bmHeight) {
        dib.clear();
        return Verdict(PictureCheck::kDamaged);
    }
    // GetDIBits may have rewritten the header (the image size): check it as any DIB.
    return CheckDib(dib.data(), dib.size());
}

HRESULT SaveDibAsPng(const std::vector<BYTE>& dib, const std::wstring& base, std::wstring& output)
{
    output.clear();
    const PictureCheck check = CheckDib(dib.data(), dib.size());
    if (check.verdict != PictureCheck::kFits) return E_INVALIDARG;
    // The decoder reads bitmap files: the DIB behind a file header that
    // says where the rows start.
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof(header));
    const size_t masks = header.biCompression == BI_BITFIELDS && header.biSize == 40 ? 3 * sizeof(DWORD) : 0;
    size_t colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) colours = size_t{1} << header.biBitCount;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(sizeof(file) + check.bytes);
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + header.biSize + masks + colours * sizeof(RGBQUAD));
    std::vector<BYTE> bytes(sizeof(file) + check.bytes);
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), dib.data(), check.bytes);
    return DecodeAndSave(bytes.data(), bytes.size(), check.width, check.height, base, output);
}

HRESULT SavePngAsPng(const std::vector<BYTE>& png, const std::wstring& base, std::wstring& output)
{
    output.clear();
    const PictureCheck check = CheckPng(png.data(), png.size());
    if (check.verdict != PictureCheck::kFits) return E_INVALIDARG;
    // Decoded and written again, so that only the picture itself travels,
    // never what else the source file carried.
    return DecodeAndSave(png.data(), png.size(), check.width, check.height, base, output);
}
