// Upload item and path rules (see the header).
#include "engine/UploadItem.h"

#include <windows.h>

#include <cwchar>

#include "common/TextConvert.h"
#include "resources/resource.h"

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

namespace {

// True when the type checks (content type and video list) judge both paths alike.
bool SameFileKind(const std::wstring& first, const std::wstring& second)
{
    const char* firstType = ContentTypeFromPath(first);
    const char* secondType = ContentTypeFromPath(second);
    const bool sameType = firstType && secondType ? lstrcmpA(firstType, secondType) == 0 : firstType == secondType;
    return sameType && IsVideoPath(first) == IsVideoPath(second);
}

}  // namespace

std::wstring FileUrlToPath(const std::wstring& path)
{
    // A NUL would cut the path short when the file is opened, after the type
    // checks judged the whole text.
    if (path.find(L'\0') != std::wstring::npos) return std::wstring();
    if (!StartsWithFileUrl(path)) return path;
    // One left-to-right pass: a decoded character is never read again, so
    // "%2541" stays "%41". A "%" without two hexadecimal digits is kept as is.
    std::wstring local;
    local.reserve(path.size() - 8);
    for (size_t at = 8; at < path.size(); ++at) {
        wchar_t c = path[at];
        if (c == L'%' && at + 2 < path.size() && HexValue(path[at + 1]) >= 0 && HexValue(path[at + 2]) >= 0) {
            c = static_cast<wchar_t>(HexValue(path[at + 1]) * 16 + HexValue(path[at + 2]));
            at += 2;
        }
        if (c == L'\0') return std::wstring();
        local += c == L'/' ? L'\\' : c;
    }
    // The type checks judge the address; the file opened must be of the same kind.
    return SameFileKind(path, local) ? local : std::wstring();
}

