// Value tables of the slideshow choices (see the header).
#include "dialogs/UploadParameters.h"

#include <cwchar>

namespace {

const COLORREF kBackgrounds[CSlideshowParameters::kBackgroundCount] = {
    RGB(0x00, 0x00, 0x00), RGB(0x00, 0x00, 0xFF), RGB(0xFF, 0x00, 0xFF), RGB(0x80, 0x80, 0x80),
    RGB(0x00, 0x80, 0x00), RGB(0x00, 0xFF, 0x00), RGB(0x80, 0x00, 0x00), RGB(0x00, 0x00, 0x80),
    RGB(0x80, 0x80, 0x00), RGB(0x80, 0x00, 0x80), RGB(0xFF, 0x00, 0x00), RGB(0xC0, 0xC0, 0xC0),
    RGB(0x00, 0x80, 0x80), RGB(0xFF, 0xFF, 0xFF), RGB(0xFF, 0xFF, 0x00),
};

}  // namespace

std::wstring CSlideshowParameters::EffectValue(int index)
{
    if (index < 0 || index >= kEffectCount) index = 0;
    return L"trans" + std::to_wstring(index);
}

COLORREF CSlideshowParameters::BackgroundColor(int index)
{
    if (index < 0 || index >= kBackgroundCount) index = 0;
    return kBackgrounds[index];
}

std::wstring CSlideshowParameters::BackgroundValue(int index)
{
    COLORREF color = BackgroundColor(index);
    wchar_t text[8];
    swprintf(text, 8, L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}
