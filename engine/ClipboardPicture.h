// Pictures as the clipboard holds them: a device-independent bitmap (a header,
// perhaps colour masks and a palette, then the rows) or the bytes of a PNG
// file. Their headers are checked against the memory that holds them before
// anything reads a pixel; the imaging library then writes them as a PNG file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The widest and highest picture taken from the clipboard.
constexpr LONG kMaxClipboardPictureSide = 16384;

struct PictureCheck {
    enum Verdict {
        kFits,      // may be read and uploaded
        kDamaged,   // the header contradicts itself or the memory around it
        kTooLarge,  // wider or higher than kMaxClipboardPictureSide
        kTooBig,    // more bytes than one request can carry
    };
    Verdict verdict = kDamaged;
    // As the header states them (kFits, kTooLarge).
    LONGLONG width = 0;
    LONGLONG height = 0;
    // kFits: the bytes the picture occupies from the start of the data.
    size_t bytes = 0;
};

// The header of CF_DIB or CF_DIBV5 data of size bytes: an info header of a
// known version, one plane, 1 to 32 bits per pixel without compression (or
// with colour masks), and header, masks, palette and rows all inside size.
PictureCheck CheckDib(const BYTE* data, size_t size);
// The signature and header chunk of a PNG file of size bytes.
PictureCheck CheckPng(const BYTE* data, size_t size);
// A 32-bit DIB copy of a GDI bitmap (CF_BITMAP), made while its owner holds it.
PictureCheck DibFromBitmap(HBITMAP bitmap, std::vector<BYTE>& dib);

// What the saving functions answer when the bytes behind a sound header do
// not decode into the picture the header describes.
const HRESULT kUndecodable = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// Decodes a picture whose check said kFits and writes it as a new PNG file
// at base + ".png". S_OK with output = the file; kUndecodable, or the failure
// of encoding or writing; a failure leaves no file.
HRESULT SaveDibAsPng(const std::vector<BYTE>& dib, const std::wstring& base, std::wstring& output);
HRESULT SavePngAsPng(const std::vector<BYTE>& png, const std::wstring& base, std::wstring& output);
