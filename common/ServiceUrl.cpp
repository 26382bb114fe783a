// Service addresses (see the header).
#include "common/ServiceUrl.h"

#include "common/SettingsStore.h"
#include "common/TextConvert.h"

namespace {

// Start and length of the host (with port) in url.
bool FindHost(const std::wstring& url, size_t& start, size_t& length)
{
    size_t scheme = url.find(L"://");
    start = scheme == std::wstring::npos ? 0 : scheme + 3;
    size_t end = url.find_first_of(L"/?#", start);
    if (end == std::wstring::npos) end = url.size();
    length = end - start;
    return length > 0;
}

}  // namespace

std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& host)
{
    size_t start = 0, length = 0;
    if (!FindHost(url, start, length)) return url;
    std::wstring out = url;
    out.replace(start, length, host);
    return out;
}

std::wstring UrlHost(const std::wstring& url)
{
    size_t start = 0, length = 0;
    return FindHost(url, start, length) ? url.substr(start, length) : std::wstring();
}

std::wstring ServiceUrl(UINT id)
{
    std::wstring url = LoadModuleString(id);
    std::wstring forced = SettingsStore().ForceServer();
    return forced.empty() ? url : ReplaceUrlHost(url, forced);
}
