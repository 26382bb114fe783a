// The EXIF block of a JPEG file as raw bytes. Resized JPEGs get the source's
// EXIF block again even where the imaging library cannot write property items
// itself: the block is copied into the encoded output when it lacks one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The whole APP1 "Exif" segment (marker, length and data) of the JPEG file at
// path; empty when the file is not a JPEG, has no such segment, or cannot be read.
std::vector<BYTE> ReadJpegExifSegment(const std::wstring& path);

// The APP1 "Exif" segment among the leading segments of JPEG data; empty when
// there is none or the data is not a well-formed JPEG header.
std::vector<BYTE> FindJpegExifSegment(const BYTE* data, size_t size);

// Puts segment into encoded JPEG data that has no EXIF segment yet: after the
// JFIF header when there is one, else right after the start marker. True when
// the data now holds an EXIF segment.
bool InsertJpegExifSegment(std::vector<BYTE>& jpeg, const std::vector<BYTE>& segment);
