// Picture formats as the imaging library identifies them: the format a file
// name stands for, the extension a format is written with, and which files
// count as pictures this machine can resize.
#pragma once

#include <windows.h>

#include <string>

// The format named by the path's extension (case-insensitive): JPEG for
// jpg/jpeg, GIF, BMP, PNG, TIFF for tif/tiff; GUID_NULL for anything else.
GUID ImageFormatFromPath(const std::wstring& path);

// ".jpg", ".gif", ".bmp", ".png" or ".tiff"; ".jpg" for an unknown format.
const wchar_t* ExtensionForImageFormat(const GUID& format);

// True when the path's extension names a known format; only such files are
// resized or get a thumbnail made here.
bool IsKnownImage(const std::wstring& path);
