// Filling and reading the slideshow choice lists (see the header).
#include "dialogs/SlideshowChoiceLists.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "dialogs/SizeLists.h"
#include "resources/resource.h"

namespace {

const int kSwatchSize = 12;

// The table index kept as the selected entry's item data, or -1.
int SelectedItemIndex(HWND dialog, int id, int count)
{
    HWND combo = GetDlgItem(dialog, id);
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return -1;
    LRESULT data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    if (data == CB_ERR || data < 0 || data >= count) return -1;
    return static_cast<int>(data);
}

void FillTexts(HWND combo, const std::vector<std::wstring>& texts, int selected)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < texts.size(); ++i) {
        LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i].c_str()));
        if (at >= 0) SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// A small square of the background's colour in a dark frame.
HBITMAP MakeSwatch(HDC screen, COLORREF color)
{
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kSwatchSize, kSwatchSize);
    if (!memory || !bitmap) {
        if (memory) DeleteDC(memory);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, kSwatchSize, kSwatchSize};
    HBRUSH frame = CreateSolidBrush(RGB(0x40, 0x40, 0x40));
    HBRUSH fill = CreateSolidBrush(color);
    FillRect(memory, &all, frame);
    RECT inner = {1, 1, kSwatchSize - 1, kSwatchSize - 1};
    FillRect(memory, &inner, fill);
    DeleteObject(fill);
    DeleteObject(frame);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

}  // namespace

int ClampListIndex(int index, int count, int fallback)
{
    if (count <= 0) return -1;
    if (index < 0) index = fallback;
    if (index < 0) return 0;
    return index >= count ? count - 1 : index;
}

SlideshowChoiceLists::~SlideshowChoiceLists()
{
    Release();
}

void SlideshowChoiceLists::Release()
{
    if (swatches_) ImageList_Destroy(swatches_);
    swatches_ = nullptr;
}

void SlideshowChoiceLists::FillSizes(HWND dialog, int sizeIndex)
{
    const std::vector<std::wstring>& sizes = SlideshowSizeTexts();
    FillTexts(GetDlgItem(dialog, IDC_SIZE_LIST), sizes,
              ClampListIndex(sizeIndex, static_cast<int>(sizes.size()), kDefaultSizeIndex));
}

void SlideshowChoiceLists::FillLook(HWND dialog, int effectIndex, int backgroundIndex)
{
    FillTexts(GetDlgItem(dialog, IDC_EFFECT), EffectTexts(),
              ClampListIndex(effectIndex, CSlideshowParameters::kEffectCount, 0));

    // Image i is the swatch of entry i.
    HWND backgrounds = GetDlgItem(dialog, IDC_BACKGROUND);
    SendMessageW(backgrounds, CB_RESETCONTENT, 0, 0);
    Release();
    swatches_ = ImageList_Create(kSwatchSize, kSwatchSize, ILC_COLOR24, CSlideshowParameters::kBackgroundCount, 0);
    HDC screen = GetDC(nullptr);
    for (int i = 0; swatches_ && i < CSlideshowParameters::kBackgroundCount; ++i) {
        HBITMAP swatch = MakeSwatch(screen, CSlideshowParameters::BackgroundColor(i));
        if (!swatch) continue;
        ImageList_Add(swatches_, swatch, nullptr);
        DeleteObject(swatch);
    }
    ReleaseDC(nullptr, screen);
    if (swatches_) SendMessageW(backgrounds, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(swatches_));
    const std::vector<std::wstring>& names = BackgroundTexts();
    for (size_t i = 0; i < names.size(); ++i) {
        COMBOBOXEXITEMW item = {};
        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
        item.iItem = static_cast<INT_PTR>(i);
        item.pszText = const_cast<wchar_t*>(names[i].c_str());
        item.iImage = item.iSelectedImage = static_cast<int>(i);
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(backgrounds, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(backgrounds, CB_SETCURSEL,
                 static_cast<WPARAM>(ClampListIndex(backgroundIndex, CSlideshowParameters::kBackgroundCount, 0)), 0);
}

void SlideshowChoiceLists::ReadSize(HWND dialog, CCommonParameters& size)
{
    const std::vector<std::wstring>& sizes = SlideshowSizeTexts();
    int index = SelectedItemIndex(dialog, IDC_SIZE_LIST, static_cast<int>(sizes.size()));
    if (index < 0) return;
    size.sizeIndex = index;
    size.sizeText = sizes[static_cast<size_t>(index)];
}

void SlideshowChoiceLists::ReadLook(HWND dialog, CSlideshowParameters& look)
{
    int effect = SelectedItemIndex(dialog, IDC_EFFECT, CSlideshowParameters::kEffectCount);
    if (effect >= 0) look.effectIndex = effect;
    int background = SelectedItemIndex(dialog, IDC_BACKGROUND, CSlideshowParameters::kBackgroundCount);
    if (background >= 0) look.backgroundIndex = background;
}
