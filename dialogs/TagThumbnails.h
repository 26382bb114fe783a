// The thumbnails of the tags dialog: one 80 x 80 image per picture, in the
// order of the pictures, so that row i always shows picture i.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// An image list with exactly one image per picture ("file:///" addresses and
// local paths are read; a picture that cannot be read, or a web address, gets
// a blank image in its place). Null only when the list cannot be made.
HIMAGELIST MakeTagThumbnails(const std::vector<std::wstring>& pictures);
// The same from pictures already in memory (a page's pictures): one image per
// entry, blank for a null one. The bitmaps stay the caller's.
HIMAGELIST MakeTagThumbnails(const std::vector<HBITMAP>& pictures);
