// Picture formats by file extension.
#include "engine/ImageFormat.h"

#include <gdiplus.h>

#include <cwctype>

namespace {

struct FormatEntry {
    const wchar_t* extension;  // lower case, without the dot
    const GUID* format;
    const wchar_t* outputExtension;
};

const FormatEntry kFormats[] = {
    {L"jpg", &Gdiplus::ImageFormatJPEG, L".jpg"},  {L"jpeg", &Gdiplus::ImageFormatJPEG, L".jpg"},
    {L"gif", &Gdiplus::ImageFormatGIF, L".gif"},   {L"bmp", &Gdiplus::ImageFormatBMP, L".bmp"},
    {L"png", &Gdiplus::ImageFormatPNG, L".png"},   {L"tif", &Gdiplus::ImageFormatTIFF, L".tiff"},
    {L"tiff", &Gdiplus::ImageFormatTIFF, L".tiff"},
};

// Text after the last '.' of the file name, lower-cased; empty when the name
// has no extension.
std::wstring LowerExtension(const std::wstring& path)
{
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos) return {};
    const size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > dot) return {};
    std::wstring extension = path.substr(dot + 1);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

}  // namespace

GUID ImageFormatFromPath(const std::wstring& path)
{
    const std::wstring extension = LowerExtension(path);
    for (const FormatEntry& entry : kFormats) {
        if (extension == entry.extension) return *entry.format;
    }
    return GUID_NULL;
}

const wchar_t* ExtensionForImageFormat(const GUID& format)
{
    for (const FormatEntry& entry : kFormats) {
        if (IsEqualGUID(format, *entry.format)) return entry.outputExtension;
    }
    return L".jpg";
}

bool IsKnownImage(const std::wstring& path)
{
    return !IsEqualGUID(ImageFormatFromPath(path), GUID_NULL);
}
