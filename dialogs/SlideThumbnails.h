// The pictures of the slide order lists: one 80 x 80 cell per slide, the
// picture shrunk into it, or a default picture for a file that cannot be read.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

const int kSlideThumbnailSize = 80;

// An image list with image i for paths[i] ("file:///" addresses are read as
// the local files they name). loaded, when given, says which paths gave a
// picture. Null when no image list can be made. The caller destroys it.
HIMAGELIST CreateSlideThumbnails(const std::vector<std::wstring>& paths, std::vector<bool>* loaded = nullptr);
