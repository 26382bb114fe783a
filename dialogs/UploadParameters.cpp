// Value tables of the slideshow choices (see the header): one row per entry,
// holding everything the lists, the swatches and the service need of it.
#include "dialogs/UploadParameters.h"

#include <cwchar>

namespace {

struct EffectEntry {
    const wchar_t* name;
    const wchar_t* value;
};

const EffectEntry kEffects[CSlideshowParameters::kEffectCount] = {
    {L"Fade", L"trans0"}, {L"Circles", L"trans1"}, {L"Squares", L"trans2"}, {L"Stripes", L"trans3"},
};

struct BackgroundEntry {
    const wchar_t* name;
    COLORREF color;  // also the value sent, as "#RRGGBB"
};

const BackgroundEntry kBackgrounds[CSlideshowParameters::kBackgroundCount] = {
    {L"Black", RGB(0x00, 0x00, 0x00)},  {L"Blue", RGB(0x00, 0x00, 0xFF)},   {L"Fuchsia", RGB(0xFF, 0x00, 0xFF)},
    {L"Gray", RGB(0x80, 0x80, 0x80)},   {L"Green", RGB(0x00, 0x80, 0x00)},  {L"Lime", RGB(0x00, 0xFF, 0x00)},
    {L"Maroon", RGB(0x80, 0x00, 0x00)}, {L"Navy", RGB(0x00, 0x00, 0x80)},   {L"Olive", RGB(0x80, 0x80, 0x00)},
    {L"Purple", RGB(0x80, 0x00, 0x80)}, {L"Red", RGB(0xFF, 0x00, 0x00)},    {L"Silver", RGB(0xC0, 0xC0, 0xC0)},
    {L"Teal", RGB(0x00, 0x80, 0x80)},   {L"White", RGB(0xFF, 0xFF, 0xFF)},  {L"Yellow", RGB(0xFF, 0xFF, 0x00)},
};

const COLORREF kBackgroundOutsideList = RGB(0xFF, 0xFF, 0xFF);

}  // namespace

std::wstring CSlideshowParameters::EffectValue(int index)
{
    if (index < 0 || index >= kEffectCount) index = 0;
    return kEffects[index].value;
}

COLORREF CSlideshowParameters::BackgroundColor(int index)
{
    if (index < 0 || index >= kBackgroundCount) return kBackgroundOutsideList;
    return kBackgrounds[index].color;
}

std::wstring CSlideshowParameters::BackgroundValue(int index)
{
    COLORREF color = BackgroundColor(index);
    wchar_t text[8];
    swprintf(text, 8, L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

std::vector<std::wstring> CSlideshowParameters::EffectNames()
{
    std::vector<std::wstring> names;
    for (const EffectEntry& entry : kEffects) names.push_back(entry.name);
    return names;
}

std::vector<std::wstring> CSlideshowParameters::BackgroundNames()
{
    std::vector<std::wstring> names;
    for (const BackgroundEntry& entry : kBackgrounds) names.push_back(entry.name);
    return names;
}
