// Link formatting (see the header).
#include "engine/LinkFormat.h"

#include <vector>

#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "resources/resource.h"

namespace {

struct StyleTemplates {
    UINT outer;
    UINT inner;
    CUploadResult::Text CUploadResult::*thumbCode;  // null: the style has no ready-made code
    CUploadResult::Text CUploadResult::*fullCode;
    Markup context;  // where the links land inside the templates
};

const StyleTemplates kStyles[] = {
    {IDS_LINK_HTML_OUTER, IDS_LINK_HTML_INNER, &CUploadResult::thumbHtml, &CUploadResult::imageHtml,
     Markup::kHtmlAttribute},
    {IDS_LINK_FORUM1_OUTER, IDS_LINK_FORUM1_INNER, &CUploadResult::thumbBB, &CUploadResult::imageBB, Markup::kPlain},
    {IDS_LINK_FORUM2_OUTER, IDS_LINK_FORUM2_INNER, &CUploadResult::thumbBB2, &CUploadResult::imageBB2,
     Markup::kPlain},
    {IDS_LINK_FRIEND_OUTER, IDS_LINK_FRIEND_INNER, nullptr, nullptr, Markup::kPlain},
};

const std::wstring& OrEmpty(const CUploadResult::Text& text)
{
    static const std::wstring empty;
    return text ? *text : empty;
}

// The link placeholders of result, escaped for context.
std::vector<Placeholder> LinkPlaceholders(const CUploadResult& result, bool useThumbnail, Markup context)
{
    const std::wstring& image = OrEmpty(result.imageLink);
    const bool hasThumb = result.thumbLink.has_value();
    return {
        {L"%link%", EscapeFor(context, image)},
        {L"%ad_link%", EscapeFor(context, OrEmpty(result.adLink))},
        {L"%short_link%", EscapeFor(context, OrEmpty(result.shortLink))},
        {L"%thumb%", EscapeFor(context, hasThumb ? *result.thumbLink : image)},
        {L"%select%", EscapeFor(context, useThumbnail && hasThumb ? *result.thumbLink : image)},
    };
}

}  // namespace

void FillPlaceholders(std::wstring& text, const CUploadResult& result, bool useThumbnail, Markup context)
{
    text = ExpandTemplate(text, LinkPlaceholders(result, useThumbnail, context));
}

std::wstring FormatLink(const CUploadResult& result, bool useThumbnail, int linkStyle)
{
    if (linkStyle < kLinkHtml || linkStyle > kLinkFriend) return std::wstring();
    const StyleTemplates& style = kStyles[linkStyle];
    if (style.thumbCode) {
        const CUploadResult::Text& code = result.*(useThumbnail ? style.thumbCode : style.fullCode);
        if (CUploadResult::IsUsableCode(code)) return *code;
    }
    std::vector<Placeholder> links = LinkPlaceholders(result, useThumbnail, style.context);
    std::wstring inner = ExpandTemplate(LoadModuleString(style.inner), links);
    // The inner code takes the place of "%img%" in the same pass that fills
    // the outer template's links.
    links.push_back({L"%img%", std::move(inner)});
    return ExpandTemplate(LoadModuleString(style.outer), links);
}

std::wstring LinkSeparator()
{
    return SettingsStore().NewLineSeparator() ? L"\n" : L" ";
}
