// The "file:///" address of a local path (see the header).
#include "common/FileUrl.h"

std::wstring PathToFileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///";
    url.reserve(path.size() + 8);
    for (wchar_t c : path) {
        if (c == L'%')
            url += L"%25";
        else
            url += c == L'\\' ? L'/' : c;
    }
    return url;
}
