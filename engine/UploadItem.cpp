// Upload item and path rules (see the header).
#include "engine/UploadItem.h"

#include <windows.h>

#include <cwchar>

#include "common/TextConvert.h"
#include "module/resource.h"

namespace {

std::wstring LowerExtension(const std::wstring& path)
{
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos) return std::wstring();
    return ToLower(path.substr(dot + 1));
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

void CUploadItem::SetPath(const std::wstring& path)
{
    path_ = path;
    isVideo_ = IsVideoPath(path);
}

std::wstring CUploadItem::LocalPath() const { return FileUrlToPath(path_); }

bool CUploadItem::IsFileUrl() const { return StartsWithFileUrl(path_); }

const char* ContentTypeFromPath(const std::wstring& path)
{
    static const struct {
        const wchar_t* extension;
        const char* type;
    } kinds[] = {
        {L"jpg", "image/jpeg"}, {L"jpeg", "image/jpeg"}, {L"jpe", "image/jpeg"},
        {L"png", "image/png"},  {L"gif", "image/gif"},   {L"bmp", "image/bmp"},
        {L"tif", "image/tiff"}, {L"tiff", "image/tiff"}, {L"swf", "application/x-shockwave-flash"},
        {L"flv", "video/x-flv"},
    };
    std::wstring extension = LowerExtension(path);
    if (extension.empty()) return nullptr;
    for (const auto& kind : kinds)
        if (extension == kind.extension) return kind.type;
    return nullptr;
}

std::wstring VideoPatternsFromFilter(const std::wstring& filter)
{
    size_t video = filter.find(L"|Video");
    if (video == std::wstring::npos) return std::wstring();
    size_t start = filter.find(L'|', video + 1);
    if (start == std::wstring::npos) return std::wstring();
    size_t end = filter.find(L'|', start + 1);
    std::wstring list = filter.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    return list + L";";
}

const std::wstring& VideoPatternList()
{
    // Built once on first use and kept for the life of the module.
    static const std::wstring list = VideoPatternsFromFilter(LoadModuleString(IDS_FILTER_ALL));
    return list;
}

bool IsVideoPath(const std::wstring& path)
{
    std::wstring extension = LowerExtension(path);
    if (extension.empty()) return false;
    return VideoPatternList().find(L"*." + extension + L";") != std::wstring::npos;
}

bool StartsWithFileUrl(const std::wstring& path)
{
    return path.size() >= 8 && _wcsnicmp(path.c_str(), L"file:///", 8) == 0;
}

std::wstring FileUrlToPath(const std::wstring& path)
{
    if (!StartsWithFileUrl(path)) return path;
    std::wstring text = path;
    // Each escape found first is decoded everywhere at once; the scan stops at
    // the first "%" that is not followed by two hexadecimal digits.
    for (;;) {
        size_t percent = text.find(L'%');
        if (percent == std::wstring::npos || percent + 2 >= text.size()) break;
        int high = HexValue(text[percent + 1]);
        int low = HexValue(text[percent + 2]);
        if (high < 0 || low < 0) break;
        std::wstring escape = text.substr(percent, 3);
        ReplaceAll(text, escape, std::wstring(1, static_cast<wchar_t>(high * 16 + low)));
    }
    text.erase(0, 8);
    for (auto& c : text)
        if (c == L'/') c = L'\\';
    return text;
}

std::wstring PathToFileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///";
    for (wchar_t c : path) {
        if (c == L'%')
            url += L"%25";
        else
            url += c == L'\\' ? L'/' : c;
    }
    return url;
}
