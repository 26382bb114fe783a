// The choice lists of the upload dialogs (picture sizes, slideshow sizes,
// slideshow effects and backgrounds) and the way a size choice carries over
// between the picture and the slideshow list.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Lists from the module's string table; a missing or empty string is replaced
// by the built-in text of its entry. Loaded on first use, kept for the module's life.
const std::vector<std::wstring>& PictureSizeTexts();    // 9 entries, 250..258
const std::vector<std::wstring>& SlideshowSizeTexts();  // 3 entries, 270..272
const std::vector<std::wstring>& EffectTexts();         // 4 entries, 280..283
const std::vector<std::wstring>& BackgroundTexts();     // 15 entries, 300..314

// One list: entry i is load(firstId + i), or fallbacks[i] when that is empty.
std::vector<std::wstring> LoadTextTable(UINT firstId, const std::vector<std::wstring>& fallbacks,
                                        const std::function<std::wstring(UINT)>& load);

// The index kept when the size list changes between pictures and a slideshow:
// similar sizes map onto each other; an unknown index gives the middle size
// (slideshow) or "320x240" (pictures).
int SlideshowIndexForPictureIndex(int pictureIndex);
int PictureIndexForSlideshowIndex(int slideshowIndex);

// The picture size index of a stored resize choice (a menu command number);
// a value outside the list gives the default choice's index.
int PictureIndexForResizeTo(DWORD resizeTo);
// The text of an entry, or empty for an index outside the list.
std::wstring ListText(const std::vector<std::wstring>& list, int index);
