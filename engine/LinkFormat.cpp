// Link formatting (see the header).
#include "engine/LinkFormat.h"

#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "module/resource.h"

namespace {

struct StyleTemplates {
    UINT outer;
    UINT inner;
    CUploadResult::Text CUploadResult::*thumbCode;  // null: the style has no ready-made code
    CUploadResult::Text CUploadResult::*fullCode;
};

const StyleTemplates kStyles[] = {
    {IDS_LINK_HTML_OUTER, IDS_LINK_HTML_INNER, &CUploadResult::thumbHtml, &CUploadResult::imageHtml},
    {IDS_LINK_FORUM1_OUTER, IDS_LINK_FORUM1_INNER, &CUploadResult::thumbBB, &CUploadResult::imageBB},
    {IDS_LINK_FORUM2_OUTER, IDS_LINK_FORUM2_INNER, &CUploadResult::thumbBB2, &CUploadResult::imageBB2},
    {IDS_LINK_FRIEND_OUTER, IDS_LINK_FRIEND_INNER, nullptr, nullptr},
};

const std::wstring& OrEmpty(const CUploadResult::Text& text)
{
    static const std::wstring empty;
    return text ? *text : empty;
}

}  // namespace

void FillPlaceholders(std::wstring& text, const CUploadResult& result, bool useThumbnail)
{
    const std::wstring& image = OrEmpty(result.imageLink);
    const bool hasThumb = result.thumbLink.has_value();
    ReplaceAll(text, L"%link%", image);
    ReplaceAll(text, L"%ad_link%", OrEmpty(result.adLink));
    ReplaceAll(text, L"%short_link%", OrEmpty(result.shortLink));
    ReplaceAll(text, L"%thumb%", hasThumb ? *result.thumbLink : image);
    ReplaceAll(text, L"%select%", useThumbnail && hasThumb ? *result.thumbLink : image);
}

std::wstring FormatLink(const CUploadResult& result, bool useThumbnail, int linkStyle)
{
    if (linkStyle < kLinkHtml || linkStyle > kLinkFriend) return std::wstring();
    const StyleTemplates& style = kStyles[linkStyle];
    if (style.thumbCode) {
        const CUploadResult::Text& code = result.*(useThumbnail ? style.thumbCode : style.fullCode);
        if (code) return *code;
    }
    std::wstring inner = LoadModuleString(style.inner);
    FillPlaceholders(inner, result, useThumbnail);
    std::wstring outer = LoadModuleString(style.outer);
    FillPlaceholders(outer, result, useThumbnail);
    ReplaceAll(outer, L"%img%", inner);
    return outer;
}

std::wstring LinkSeparator()
{
    return SettingsStore().NewLineSeparator() ? L"\n" : L" ";
}
