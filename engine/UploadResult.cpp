// The upload result record and its filling from the service's answer.
#include "engine/UploadResult.h"

#include <windows.h>

#include <algorithm>

#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "common/ModuleInstance.h"
#include "engine/UploadResponseParser.h"
#include "resources/resource.h"

namespace {

const wchar_t kLinksPath[] = L"//links";
const wchar_t kVideoInfoPath[] = L"//video-info";

CUploadResult::Text LoadModuleString(UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer size the call answers a pointer into the resource.
    const int length = LoadStringW(ThisModule(), id,
                                   reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::nullopt;
    return std::wstring(text, static_cast<std::size_t>(length));
}

// A ready-made code that is empty counts as missing, so that the video
// variant or the templates stand in.
CUploadResult::Text Code(CUploadResult::Text code)
{
    if (!CUploadResult::IsUsableCode(code)) code.reset();
    return code;
}

CUploadResult::Text Either(CUploadResult::Text first, CUploadResult::Text second)
{
    first = Code(std::move(first));
    return first ? std::move(first) : Code(std::move(second));
}

// Addresses of the answer are navigated to, posted, inserted into pages and
// stored in the history: anything but a web address is dropped here, once,
// and the other links of the answer stay. Line breaks and blanks around an
// address are layout of the answer, not part of it.
void KeepWebAddress(CUploadResult::Text& address, const char* element)
{
    if (!address) return;
    const wchar_t blanks[] = L" \t\r\n";
    address->erase(0, std::min(address->find_first_not_of(blanks), address->size()));
    address->erase(address->find_last_not_of(blanks) + 1);
    if (IsWebAddress(*address)) return;
    address.reset();
    LogWriter("CUploadResult").Format("Dropped the %s of the answer: not an http or https address", element);
}

}  // namespace

bool CUploadResult::Parse(const wchar_t* text)
{
    const CUploadResponseParser reader(text);
    const CUploadResponseParser::Parser* parser = reader.GetParser();
    if (!parser) return false;

    responseText = parser->GetDocumentText();
    imageLink = parser->GetValue(kLinksPath, L"image_link");
    adLink = parser->GetValue(kLinksPath, L"ad_link");
    thumbLink = parser->GetValue(kLinksPath, L"thumb_link");
    donePage = parser->GetValue(kLinksPath, L"done_page");
    imageHtml = Either(parser->GetValue(kLinksPath, L"image_html"), parser->GetValue(kLinksPath, L"video_embed"));
    imageBB = Either(parser->GetValue(kLinksPath, L"image_bb"), parser->GetValue(kLinksPath, L"frame_bb"));
    imageBB2 = Either(parser->GetValue(kLinksPath, L"image_bb2"), parser->GetValue(kLinksPath, L"frame_bb2"));
    thumbHtml = Code(parser->GetValue(kLinksPath, L"thumb_html"));
    thumbBB = Code(parser->GetValue(kLinksPath, L"thumb_bb"));
    thumbBB2 = Code(parser->GetValue(kLinksPath, L"thumb_bb2"));
    errorText = parser->GetValue(kLinksPath, L"error");
    errorId = parser->GetAttribute(kLinksPath, L"error", L"id");

    if (!thumbLink && parser->GetValue(kVideoInfoPath, L"duration"))
        thumbLink = LoadModuleString(IDS_VIDEO_THUMBNAIL_URL);
    KeepWebAddress(imageLink, "image_link");
    KeepWebAddress(adLink, "ad_link");
    KeepWebAddress(thumbLink, "thumb_link");
    KeepWebAddress(donePage, "done_page");
    UpdateShortLink();
    return true;
}

void CUploadResult::SetName(const wchar_t* path)
{
    if (!path) {
        name.reset();
        return;
    }
    const std::wstring full(path);
    std::size_t cut = full.rfind(L'\\');
    if (cut == std::wstring::npos) cut = full.rfind(L'/');
    name = cut == std::wstring::npos ? full : full.substr(cut + 1);
}

void CUploadResult::SetImageLink(const wchar_t* link)
{
    if (link)
        imageLink = std::wstring(link);
    else
        imageLink.reset();
    UpdateShortLink();
}

void CUploadResult::UpdateShortLink()
{
    shortLink = ShortLinkOf(imageLink);
}

void CUploadResult::Clear()
{
    for (Text* field : {&name, &imageLink, &shortLink, &adLink, &thumbLink, &donePage, &imageHtml, &imageBB,
                        &imageBB2, &thumbHtml, &thumbBB, &thumbBB2, &errorText, &errorId})
        field->reset();
    isPublic = true;
}

bool CUploadResult::IsUsableCode(const Text& code)
{
    return code && code->find_first_not_of(L" \t\r\n") != std::wstring::npos;
}

CUploadResult::Text CUploadResult::ShortLinkOf(const Text& link)
{
    if (!link) return std::nullopt;
    // Cut at the last '/' twice; the short link starts after the last '/' of
    // what remains.
    std::size_t cut = link->size();
    for (int i = 0; i < 3; ++i) {
        if (cut == 0) return std::nullopt;
        cut = link->rfind(L'/', cut - 1);
        if (cut == std::wstring::npos) return std::nullopt;
    }
    return link->substr(cut + 1);
}
