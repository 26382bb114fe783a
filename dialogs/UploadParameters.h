// The option records that the upload and slideshow dialogs fill before an
// upload starts. Each record is a virtual base, so a dialog that combines
// several of them holds each once; the caller reads them back and turns them
// into the arguments and options of the upload entry points.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What a size choice, the public flag and tags mean to every kind of upload.
class CCommonParameters {
public:
    // Index into the size list the dialog shows: picture sizes (0..8) for an
    // upload, slideshow sizes (0..2) for a slideshow.
    int sizeIndex = 2;
    // The size text as the list shows it ("320x240 (for websites and email)");
    // the engine normalises it. Empty means no resizing was asked for.
    std::wstring sizeText;
    bool isPublic = true;
};

// Options of an upload of single pictures.
class CUploadParameters {
public:
    bool resize = false;
    bool removeSizeBar = true;
    std::wstring tags;
    // The user wants to give every picture its own tags (the tags dialog follows).
    bool individualTags = false;
};

// Whether the dialog builds a slideshow instead of uploading single pictures.
class CSlideshowDlgParameters {
public:
    bool buildSlideshow = false;
};

// The slideshow's look: transition effect and background colour.
class CSlideshowParameters {
public:
    static const int kEffectCount = 4;
    static const int kBackgroundCount = 15;

    int effectIndex = 0;
    int backgroundIndex = 0;

    // The values the service takes ("trans0".."trans3", "#RRGGBB"); an index
    // outside the list gives the default look: "trans0" and white.
    static std::wstring EffectValue(int index);
    static std::wstring BackgroundValue(int index);
    // The swatch colour of a background entry (white outside the list).
    static COLORREF BackgroundColor(int index);
    // The built-in names of the entries, used when the string table lacks one.
    static std::vector<std::wstring> EffectNames();
    static std::vector<std::wstring> BackgroundNames();

    std::wstring Effect() const { return EffectValue(effectIndex); }
    std::wstring Background() const { return BackgroundValue(backgroundIndex); }
};

// An ordered list of pictures (paths or addresses).
class CImageOrderDlgParameters {
public:
    std::vector<std::wstring> images;
};

// An ordered list of pictures chosen from a larger one: after the dialog,
// images holds only the checked ones and checkedIndices their positions in
// the list the dialog was given, in the same order.
class CCheckedImageOrderDlgParameters : public virtual CImageOrderDlgParameters {
public:
    std::vector<size_t> checkedIndices;
};
