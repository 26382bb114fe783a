// The slideshow choice lists every slideshow dialog shows: Format (slideshow
// sizes), Effect and Background (with a colour swatch per entry). One
// implementation fills and reads them for all dialogs that carry them.
#pragma once

#include <windows.h>

#include "dialogs/UploadParameters.h"

// A list index as the lists can show it: negative means "nothing stored" and
// gives fallback; an index past the end is clamped to the last entry.
int ClampListIndex(int index, int count, int fallback);

class SlideshowChoiceLists {
public:
    SlideshowChoiceLists() = default;
    ~SlideshowChoiceLists();
    SlideshowChoiceLists(const SlideshowChoiceLists&) = delete;
    SlideshowChoiceLists& operator=(const SlideshowChoiceLists&) = delete;

    // Default choices when nothing was stored: the medium size, the first
    // effect and the first background.
    static const int kDefaultSizeIndex = 1;

    // Fills the Format list of dialog with the slideshow sizes (item data =
    // index) and selects sizeIndex.
    static void FillSizes(HWND dialog, int sizeIndex);
    // Fills Effect and Background (item data = index) and selects the record's
    // entries. The swatch image list lives as long as this object.
    void FillLook(HWND dialog, int effectIndex, int backgroundIndex);
    // Reads the selections back: size index and text into size, effect and
    // background indices into look. A list without a selection changes nothing.
    static void ReadSize(HWND dialog, CCommonParameters& size);
    static void ReadLook(HWND dialog, CSlideshowParameters& look);

private:
    void Release();
    struct _IMAGELIST* swatches_ = nullptr;
};
