// The dialogs' choice lists (see the header).
#include "dialogs/SizeLists.h"

#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "dialogs/UploadParameters.h"
#include "resources/resource.h"

std::vector<std::wstring> LoadTextTable(UINT firstId, const std::vector<std::wstring>& fallbacks,
                                        const std::function<std::wstring(UINT)>& load)
{
    std::vector<std::wstring> list;
    list.reserve(fallbacks.size());
    for (size_t i = 0; i < fallbacks.size(); ++i) {
        std::wstring text = load(firstId + static_cast<UINT>(i));
        list.push_back(text.empty() ? fallbacks[i] : text);
    }
    return list;
}

namespace {

std::vector<std::wstring> Table(UINT firstId, const std::vector<std::wstring>& fallbacks)
{
    return LoadTextTable(firstId, fallbacks, LoadModuleString);
}

}  // namespace

const std::vector<std::wstring>& PictureSizeTexts()
{
    static const std::vector<std::wstring> list = Table(IDS_RESIZE_FIRST, {
        L"100x75 (avatar)", L"150x112 (thumbnail)", L"320x240 (for websites and email)",
        L"640x480 (for message boards)", L"800x600 (15-inch monitor)", L"1024x768 (17-inch monitor)",
        L"1280x1024 (19-inch monitor)", L"1600x1200 (21-inch monitor)", L"Optimize without resizing"});
    return list;
}

const std::vector<std::wstring>& SlideshowSizeTexts()
{
    static const std::vector<std::wstring> list = Table(IDS_SLIDESHOW_SIZE_FIRST, {
        L"320x240 (Small)", L"426x320 (Medium)", L"640x480 (Big)"});
    return list;
}

const std::vector<std::wstring>& EffectTexts()
{
    static const std::vector<std::wstring> list = Table(IDS_EFFECT_FIRST, CSlideshowParameters::EffectNames());
    return list;
}

const std::vector<std::wstring>& BackgroundTexts()
{
    static const std::vector<std::wstring> list = Table(IDS_COLOR_FIRST, CSlideshowParameters::BackgroundNames());
    return list;
}

int SlideshowIndexForPictureIndex(int pictureIndex)
{
    // 100x75, 150x112 and 320x240 become Small; 640x480 and larger become Big;
    // "optimize" (and anything unknown) becomes Medium.
    static const int kMap[] = {0, 0, 0, 2, 2, 2, 2, 2, 1};
    if (pictureIndex < 0 || pictureIndex >= static_cast<int>(sizeof(kMap) / sizeof(kMap[0]))) return 1;
    return kMap[pictureIndex];
}

int PictureIndexForSlideshowIndex(int slideshowIndex)
{
    static const int kMap[] = {2, 3, 3};
    if (slideshowIndex < 0 || slideshowIndex >= static_cast<int>(sizeof(kMap) / sizeof(kMap[0]))) return 2;
    return kMap[slideshowIndex];
}

int PictureIndexForResizeTo(DWORD resizeTo)
{
    if (resizeTo < kResizeToFirst || resizeTo > kResizeToLast) resizeTo = kResizeToDefault;
    return static_cast<int>(resizeTo - kResizeToFirst);
}

std::wstring ListText(const std::vector<std::wstring>& list, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return std::wstring();
    return list[static_cast<size_t>(index)];
}
